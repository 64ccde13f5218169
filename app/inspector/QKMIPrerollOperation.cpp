#include "app/inspector/QKMIPrerollOperation.h"

#include "framework/media/QKQTFile.h"
#include "platform/foundation/Log.h"

std::shared_ptr<QKMIPrerollOperation> QKMIPrerollOperation::initWithQTFile(
    const std::shared_ptr<QKQTFile>& file) {
  if (!file) return nullptr;
  return std::shared_ptr<QKMIPrerollOperation>(new QKMIPrerollOperation(file));
}

void QKMIPrerollOperation::main() {
  const std::shared_ptr<QKQTFile> file = file_.lock();
  if (!file || file->deleted()) {
    Log::line(QStringLiteral("\t\terr: pre-roll skipped: the movie was removed from the bin"));
    return;
  }
  file->threadedVisualContextInit();
}

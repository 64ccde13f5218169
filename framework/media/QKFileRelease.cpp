#include "framework/media/QKFileRelease.h"

#include "framework/media/QKFile.h"
#include "platform/foundation/MainThread.h"

void QKFileRelease::release(std::shared_ptr<QKFile>& file) {
  if (!file) return;
  if (MainThread::isMainThread()) {
    file.reset();
    return;
  }
  MainThread::post([held = std::move(file)]() mutable { held.reset(); });
}

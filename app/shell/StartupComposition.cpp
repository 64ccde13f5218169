#include "app/shell/StartupComposition.h"

#include "framework/render/TheApplication.h"
#include "platform/composition/CompositionDocument.h"
#include "platform/composition/CompositionFormat.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"

#include <QFileInfo>

namespace {

// Plays the document once into a small texture; the reason when it cannot.
QString playOnce(const std::shared_ptr<const composition::CompositionDocument>& document) {
  QString reason;
  gl::RenderThread::instance().invokeAndWait([&] {
    std::shared_ptr<composition::QCRenderer> renderer = composition::QCRenderer::create(document);
    if (!renderer) {
      reason = QStringLiteral("the composition's shaders do not compile");
      return;
    }
    gl::RenderTarget target;
    if (!target.bind(gl::TexturePool::shared().acquire(QSize(2, 2))) ||
        !renderer->renderAtTime(0, composition::QCRenderer::Compositing::Replace))
      reason = QStringLiteral("the composition does not render");
    TheApplication::addItemToQCDeleteArray(std::move(renderer));
  });
  return reason;
}

}  // namespace

StartupComposition::Result StartupComposition::open() {
  return open(Paths::resourcePath(QStringLiteral("black"),
                                  QString::fromLatin1(composition::kCompositionExtension)));
}

StartupComposition::Result StartupComposition::open(const QString& path) {
  if (path.isEmpty() || !QFileInfo::exists(path)) {
    Log::line(QStringLiteral("\t\terr: the start-up composition %1 is missing; skipped")
                  .arg(path.isEmpty() ? QStringLiteral("black.qtz") : path));
    return Result::Missing;
  }
  QString reason;
  const auto document = composition::CompositionDocument::load(path, &reason);
  if (document && gl::RenderThread::instance().isRunning()) reason = playOnce(document);
  if (document && reason.isEmpty()) return Result::Opened;
  Log::line(QStringLiteral("\t\terr: the composition runtime cannot start: ") + reason);
  Alert::show(QStringLiteral("Warning!"), failureMessage(reason));
  return Result::Failed;
}

QString StartupComposition::failureMessage(const QString& reason) {
  return QStringLiteral(
             "There's a problem with the composition runtime, and ZAPH cannot "
             "launch.\n%1")
      .arg(reason);
}

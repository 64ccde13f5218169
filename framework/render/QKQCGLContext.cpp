#include "framework/render/QKQCGLContext.h"

#include "framework/render/TheApplication.h"
#include "platform/composition/CompositionDocument.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Log.h"

#include <chrono>
#include <mutex>

namespace {

std::mutex defaultFactoryMutex;
std::shared_ptr<QKQCGLContext::RendererFactory>& defaultFactorySlot() {
  static std::shared_ptr<QKQCGLContext::RendererFactory> factory;
  return factory;
}

}  // namespace

bool QKQCGLContext::RendererFactory::load(File& file) {
  QString error;
  file.document = composition::CompositionDocument::load(file.path, &error);
  if (!file.document) Log::line(QStringLiteral("\t\terr: composition not playable: %1").arg(error));
  return file.document != nullptr;
}

std::shared_ptr<composition::QCRenderer> QKQCGLContext::RendererFactory::make(const File& file) {
  if (!file.document) return nullptr;
  return composition::QCRenderer::create(file.document);
}

double QKQCGLContext::steadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void QKQCGLContext::setDefaultRendererFactory(std::shared_ptr<RendererFactory> factory) {
  std::lock_guard<std::mutex> lock(defaultFactoryMutex);
  defaultFactorySlot() = std::move(factory);
}

std::shared_ptr<QKQCGLContext::RendererFactory> QKQCGLContext::defaultRendererFactory() {
  std::lock_guard<std::mutex> lock(defaultFactoryMutex);
  std::shared_ptr<RendererFactory>& factory = defaultFactorySlot();
  if (!factory) factory = std::make_shared<RendererFactory>();
  return factory;
}

std::shared_ptr<QKQCGLContext> QKQCGLContext::create(const QString& path,
                                                     gl::GLContext* sharedContext,
                                                     gl::TexturePool* textureCache, QSizeF size,
                                                     std::shared_ptr<RendererFactory> factory,
                                                     Clock clock) {
  std::shared_ptr<QKQCGLContext> context =
      make<QKQCGLContext>(sharedContext, textureCache, size, std::move(factory), std::move(clock));
  if (context) context->publish(context->read(path));
  return context;
}

QKQCGLContext::QKQCGLContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache,
                             QSizeF size, std::shared_ptr<RendererFactory> factory, Clock clock)
    : QKGLContext(sharedContext, textureCache, size),
      factory_(factory ? std::move(factory) : defaultRendererFactory()),
      clock_(clock ? std::move(clock) : Clock(steadySeconds)),
      file_(std::make_shared<const File>()) {}

void QKQCGLContext::publish(std::shared_ptr<const File> file) {
  std::lock_guard<std::mutex> lock(fileMutex_);
  file_.swap(file);  // the file replaced goes after the lock is let go
}

std::shared_ptr<const QKQCGLContext::File> QKQCGLContext::published() const {
  std::lock_guard<std::mutex> lock(fileMutex_);
  return file_;
}

QKQCGLContext::~QKQCGLContext() {
  if (!deleted()) prepareToBeDeleted();
  handOverRenderer();
}

std::shared_ptr<QKQCGLContext::File> QKQCGLContext::read(const QString& path) {
  auto file = std::make_shared<File>();
  file->path = path;
  if (path.isEmpty()) return file;
  std::shared_ptr<const QKQCComposition> composition = QKQCComposition::compositionWithFile(path);
  if (!composition) {
    Log::line("\t\terr: composition was nil");
    return file;
  }
  if (composition->hasLiveInput()) return file;
  file->composition = std::move(composition);
  if (!factory_->load(*file)) file->composition.reset();
  return file;
}

void QKQCGLContext::useFile(const QString& path, bool resetTimer) {
  if (deleted()) return;
  std::shared_ptr<File> file = read(path);
  file->keepTime = !resetTimer;
  publish(std::move(file));
}

QString QKQCGLContext::rendererPath() const { return published()->path; }

std::shared_ptr<const QKQCComposition> QKQCGLContext::composition() const {
  return published()->composition;
}

void QKQCGLContext::handOverRenderer() {
  if (renderer_) TheApplication::addItemToQCDeleteArray(std::move(renderer_));
  renderer_.reset();
}

void QKQCGLContext::takeUpFile() {
  std::unique_lock<std::mutex> lock(fileMutex_, std::try_to_lock);
  if (!lock.owns_lock() || file_ == playing_) return;
  std::shared_ptr<const File> file = file_;
  lock.unlock();
  handOverRenderer();
  playing_ = std::move(file);
  rendererFailed_ = false;
  if (!playing_->keepTime) startTime_.reset();
}

void QKQCGLContext::render() {
  releaseOutput();
  if (deleted()) return;
  takeUpFile();
  if (!playing_ || !playing_->composition) return;
  QKGLContext::render();
  if (!initialized()) return;  // no GL context (logged)
  if (!renderer_ && !rendererFailed_) {
    renderer_ = factory_->make(*playing_);
    rendererFailed_ = !renderer_;
    if (!playing_->keepTime || !startTime_) startTime_ = clock_();
  }
  if (!startTime_) startTime_ = clock_();
}

void QKQCGLContext::draw() { drawOver(QVector4D(0, 0, 0, 1), false); }

void QKQCGLContext::drawToTransparentBG() { drawOver(QVector4D(0, 0, 0, 0), true); }

void QKQCGLContext::drawOver(const QVector4D& background, bool replace) {
  if (!beginDraw(background, true)) {
    target().detach();
    return;
  }
  if (renderer_) {
    if (!startTime_) startTime_ = clock_();
    double time = clock_() - *startTime_;
    if (!(time >= 0)) time = 0;  // a start in the future, or not a number
    renderer_->renderAtTime(time, replace ? composition::QCRenderer::Compositing::Replace
                                          : composition::QCRenderer::Compositing::Over);
  }
  endDraw();
}

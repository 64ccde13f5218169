#include "framework/render/DeferredReleaseArrays.h"

#include "platform/foundation/MainThread.h"
#include "platform/gl/RenderThread.h"

#include <QCoreApplication>
#include <QTimer>

DeferredReleaseArrays& DeferredReleaseArrays::shared() {
  static DeferredReleaseArrays* arrays = [] {
    auto* made = new DeferredReleaseArrays;  // lives as long as the process
    made->attach();
    return made;
  }();
  return *arrays;
}

DeferredReleaseArrays::~DeferredReleaseArrays() {
  if (frameEndHook_) gl::RenderThread::instance().removeFrameEndHook(frameEndHook_);
}

void DeferredReleaseArrays::attach() {
  if (!frameEndHook_)
    frameEndHook_ = gl::RenderThread::instance().addFrameEndHook([this] { purgeAfterFrame(); });
  MainThread::run([this] {
    if (idleTimerOwner_ || !QCoreApplication::instance()) return;
    idleTimerOwner_ = std::make_unique<QObject>();
    auto* timer = new QTimer(idleTimerOwner_.get());
    QObject::connect(timer, &QTimer::timeout, [this] { purgeIfNoFrameIsDrawn(); });
    timer->start(kIdlePurgeMilliseconds);
  });
}

void DeferredReleaseArrays::addRenderer(std::shared_ptr<void> renderer) {
  if (!renderer) return;
  std::lock_guard<std::mutex> lock(rendererMutex_);
  renderers_.push_back(std::move(renderer));
}

void DeferredReleaseArrays::addBuffer(std::shared_ptr<void> buffer) {
  if (!buffer) return;
  std::lock_guard<std::mutex> lock(bufferMutex_);
  buffers_.push_back(Buffer{std::move(buffer), kBufferPurges});
}

void DeferredReleaseArrays::purgeRenderers() {
  releaseRenderers(std::unique_lock<std::mutex>(rendererMutex_));
}

void DeferredReleaseArrays::purgeBuffers() {
  releaseBuffers(std::unique_lock<std::mutex>(bufferMutex_));
}

void DeferredReleaseArrays::purgeAfterFrame() {
  // The render thread never waits for a hand-over in progress: a busy array
  // is purged after the next frame instead.
  releaseRenderers(std::unique_lock<std::mutex>(rendererMutex_, std::try_to_lock));
  releaseBuffers(std::unique_lock<std::mutex>(bufferMutex_, std::try_to_lock));
}

void DeferredReleaseArrays::releaseRenderers(std::unique_lock<std::mutex> lock) {
  if (!lock.owns_lock()) return;
  std::vector<std::shared_ptr<void>> due;
  due.swap(renderers_);
  lock.unlock();
  due.clear();  // released here, in hand-over order, without the lock
}

void DeferredReleaseArrays::releaseBuffers(std::unique_lock<std::mutex> lock) {
  if (!lock.owns_lock()) return;
  std::vector<std::shared_ptr<void>> due;
  for (Buffer& buffer : buffers_)
    if (--buffer.count <= 0) due.push_back(std::move(buffer.object));
  std::erase_if(buffers_, [](const Buffer& buffer) { return buffer.count <= 0; });
  lock.unlock();
  due.clear();
}

bool DeferredReleaseArrays::purgeIfNoFrameIsDrawn() {
  if (gl::RenderThread::instance().isRunning()) return false;
  purgeAfterFrame();
  return true;
}

std::size_t DeferredReleaseArrays::pendingRenderers() const {
  std::lock_guard<std::mutex> lock(rendererMutex_);
  return renderers_.size();
}

std::size_t DeferredReleaseArrays::pendingBuffers() const {
  std::lock_guard<std::mutex> lock(bufferMutex_);
  return buffers_.size();
}

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
  std::vector<std::shared_ptr<void>> due;
  {
    std::lock_guard<std::mutex> lock(rendererMutex_);
    due.swap(renderers_);
  }
  due.clear();  // released here, in hand-over order, without the lock
}

void DeferredReleaseArrays::purgeBuffers() {
  std::vector<std::shared_ptr<void>> due;
  {
    std::lock_guard<std::mutex> lock(bufferMutex_);
    for (Buffer& buffer : buffers_)
      if (--buffer.count <= 0) due.push_back(std::move(buffer.object));
    std::erase_if(buffers_, [](const Buffer& buffer) { return buffer.count <= 0; });
  }
  for (std::shared_ptr<void>& object : due) object.reset();
}

void DeferredReleaseArrays::purgeAfterFrame() {
  purgeRenderers();
  purgeBuffers();
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

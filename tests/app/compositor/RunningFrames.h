#pragma once

#include "app/compositor/Compositor.h"
#include "app/compositor/RestoreGate.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/ImageContext.h"

#include <atomic>
#include <thread>

// A compositor's frames drawn into a small target, one after the other on a
// thread of their own, as the display link would, until stop() or the
// object goes. Frames that find the compositor busy are skipped, as the
// output view skips them; with Gate::Pass each frame first passes the
// restore gate, as the output view's frames do.
class RunningFrames {
 public:
  enum class Gate { Ignore, Pass };

  explicit RunningFrames(Compositor& compositor, Gate gate = Gate::Ignore)
      : compositor_(compositor), gate_(gate) {
    handler_ = gl::RenderThread::instance().addFrameHandler([this](const auto&) { frame(); });
    thread_ = std::thread([this] {
      while (!done_.load()) gl::RenderThread::instance().runFrameNow();
    });
  }
  ~RunningFrames() { stop(); }
  RunningFrames(const RunningFrames&) = delete;
  RunningFrames& operator=(const RunningFrames&) = delete;

  void stop() {
    if (!thread_.joinable()) return;
    done_.store(true);
    thread_.join();
    gl::RenderThread::instance().removeFrameHandler(handler_);
  }
  // Frames drawn to the end so far.
  int count() const { return frames_.load(); }

 private:
  void frame() {
    RestoreGate& gate = compositor_.restoreGate();
    if (gate_ == Gate::Pass && !gate.tryBeginFrame()) return;
    draw();
    if (gate_ == Gate::Pass) gate.endFrame();
  }
  void draw() {
    Compositor::FrameState state;
    auto locks = compositor_.tryLockForFrame(&state);
    if (!locks) return;
    compositor_.render(gl::DisplayLink::Frame{});
    gl::RenderTarget target;
    const gl::TextureHandle texture = gl::TexturePool::shared().acquire(QSize(64, 48));
    target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(640, 480)));
    if (!target.bind(texture)) return;
    image::ImageContext context;
    compositor_.drawContent(state, target, context);
    target.detach();
    ++frames_;
  }

  Compositor& compositor_;
  const Gate gate_;
  std::atomic<bool> done_{false};
  std::atomic<int> frames_{0};
  int handler_ = 0;
  std::thread thread_;
};

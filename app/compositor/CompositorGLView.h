#pragma once

#include "app/compositor/Compositor.h"
#include "app/compositor/CompositorCustomWindow.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/gl/DisplayLink.h"
#include "platform/gl/RenderTarget.h"
#include "platform/image/ImageContext.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QSizeF>

#include <atomic>
#include <memory>
#include <mutex>

class QMouseEvent;

// The main output: the output window and the frame the render thread draws
// into it on every refresh. The frame composites the compositor's layers
// into the view's canvas target (a framebuffer of the window's pixel size on
// the render thread's main context), samples a clicked colour, and draws the
// target into the window and swaps. In GL mode, while no colour sample is
// pending and the window's drawable has the canvas's colour format, the
// layers draw straight into the window instead (the same pixels, one
// full-window pass fewer); nothing else reads the canvas.
//
// The "display link" is a frame handler of gl::RenderThread. `stopDisplayLink`
// only stops rendering (frames then skip; the render thread's purges still
// run after every frame); `killDisplayLink` removes the handler.
//
// Locks: a frame tries the restore gate, then `drawingLock` (recursive), then
// the compositor's frame locks, and skips the frame when any is busy; every
// lock is a scope guard. Main-thread changes of the window and of the swap
// interval stop rendering first and then take `drawingLock`, so a frame in
// progress ends before them. `setCanvasSize` takes only the compositor's
// render lock.
class CompositorGLView {
 public:
  static const QString kDoneSettingUpNotification;  // "QKCompositorDoneSettingUpNotification"
  static const QString kClickColorNotification;     // "QKPrevWinClickColorNotification"
  static const QString kColorKey;                   // "color" (user info of the above)
  static constexpr double kDelayedLoadSeconds = 0.2;
  static constexpr int kCornerSize = 15;
  static constexpr int kMinimumWindowSide = 100;

  // Called on the main thread instead of the alert (tests, the toggle).
  using Hook = std::function<void()>;

  explicit CompositorGLView(Compositor* compositor);
  ~CompositorGLView();
  CompositorGLView(const CompositorGLView&) = delete;
  CompositorGLView& operator=(const CompositorGLView&) = delete;

  // Main thread: canvas 640 x 480, window title and size, the observers and
  // the delayed load 0.2 s later (now with `delay` 0, never with a negative
  // one).
  void awake(double delay = kDelayedLoadSeconds);
  void delayedLoad();

  CompositorCustomWindow* window() const { return window_.get(); }
  Compositor* compositor() const { return compositor_; }

  // --- Display link -------------------------------------------------------------
  void startDisplayLink();
  void stopDisplayLink() { safeToRender_.store(false); }
  void killDisplayLink();
  bool displayLinkRunning() const { return frameHandler_.load() != 0 && safeToRender_.load(); }
  bool safeToRender() const { return safeToRender_.load(); }
  bool rendering() const { return rendering_.load(); }
  // The frame handler's body (public for tests that drive frames).
  void displayLinkOutputCallback(const gl::DisplayLink::Frame& frame);

  // --- Settings (main thread) -------------------------------------------------------
  // False (logged) for a side that is not positive, not finite or beyond
  // the largest texture.
  bool setCanvasSize(QSizeF size);
  QSizeF canvasSize() const { return canvasSize_; }
  // False (logged) for a negative interval.
  bool setCPSwapInterval(long interval);
  long cpSwapInterval() const { return swapInterval_.load(); }
  // The interval the output window's context was last given.
  int appliedSwapInterval() const { return appliedSwapInterval_.load(); }
  bool setCanvasPresentationMode(long mode);
  long canvasPresentationMode() const { return presentationMode_; }
  void setConstrainOutputWindow(bool constrain);
  bool constrainOutputWindow() const { return constrain_; }
  // Corrects the window's size to the canvas's aspect (width leads) while
  // constrained and windowed.
  void applyAspectConstraint();
  void reshape();

  // --- Fullscreen (main thread) ----------------------------------------------------------
  void setFullscreen(bool fullscreen);
  bool fullscreen() const { return fullscreen_; }
  void setFullscreenFlagArray(const QList<bool>& flags);
  QList<bool> fullscreenFlagArray() const { return flags_; }
  bool willFullscreenHideAModal() const;
  void displaysAdjustedNotification();
  void openFullscreenDisplaysWarning();
  // Called when a fullscreen request fails (the compositor window resets
  // its toggle).
  void setFullscreenRefusedHook(Hook hook) { fullscreenRefused_ = std::move(hook); }
  QRect nonFullscreenOutputLoc() const { return nonFullscreenLoc_; }

  // --- Mouse (main thread, view coordinates from the bottom left) ------------------------
  void mouseDown(QPointF viewPoint);
  void mouseDragged(QPointF viewPoint, QPoint screenPoint);
  void mouseUp();
  bool resizing() const { return resizing_; }
  bool colourSampleRequested() const { return postClickedColor_.load(); }
  // Whether the last frame drew the layers straight into the window.
  bool drewStraightIntoWindow() const { return drewIntoWindow_.load(); }

 private:
  void render(const gl::DisplayLink::Frame& frame);
  void flushOutput(const gl::DisplayLink::Frame& frame);
  bool drawsStraightIntoWindow(const Compositor::FrameState& state) const;
  bool drawIntoWindow(const Compositor::FrameState& state);
  bool prepareCanvasTarget();
  void sampleClickedColour();
  void present();
  // Makes the window's context current for drawing (null when the window
  // does not show); the first frame after a start applies the swap interval
  // and learns the drawable's colour format.
  gl::GLContext* beginWindowFrame();
  void enterFullscreen();
  void leaveFullscreen();
  void refuseFullscreen();
  QSizeF boundsSize() const;
  void retitle();

  Compositor* compositor_;
  std::unique_ptr<CompositorCustomWindow> window_;
  std::recursive_mutex drawingLock_;

  std::atomic<int> frameHandler_{0};
  std::atomic<bool> safeToRender_{false};
  std::atomic<bool> initialized_{false};
  std::atomic<bool> needsReshape_{true};
  std::atomic<bool> rendering_{false};
  std::atomic<long> swapInterval_{1};
  std::atomic<int> appliedSwapInterval_{-1};
  std::atomic<bool> postClickedColor_{false};
  std::atomic<bool> drewIntoWindow_{false};
  // The window's drawable has 8 bits in each of RGBA, as the canvas, so
  // blending into it (destination alpha included) gives the canvas's
  // pixels. Learnt with the first frame after a start.
  std::atomic<bool> windowMatchesCanvas_{false};
  std::atomic<int> clickedX_{0};
  std::atomic<int> clickedY_{0};

  // Main thread.
  QSizeF canvasSize_{640, 480};
  long presentationMode_ = 2;
  bool constrain_ = true;
  bool fullscreen_ = false;
  QList<bool> flags_;
  QRect nonFullscreenLoc_{413, 125, 320, 240};
  QRect clickWindFrame_;
  bool resizing_ = false;
  bool adjustingAspect_ = false;
  Hook fullscreenRefused_;

  // Render thread.
  gl::RenderTarget canvasTarget_;
  gl::TextureHandle canvasTexture_;
  image::ImageContext imageContext_;

  NotificationObservers observers_;
};

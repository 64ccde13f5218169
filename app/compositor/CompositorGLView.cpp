#include "app/compositor/CompositorGLView.h"

#include "app/compositor/FullscreenTarget.h"
#include "platform/display/ScreenList.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

const QString CompositorGLView::kDoneSettingUpNotification =
    QStringLiteral("QKCompositorDoneSettingUpNotification");
const QString CompositorGLView::kClickColorNotification =
    QStringLiteral("QKPrevWinClickColorNotification");
const QString CompositorGLView::kColorKey = QStringLiteral("color");

namespace {

const QString kFullscreenFlagKey = QStringLiteral("fullscreenFlag");

// The swap interval of the context current on this thread (Mesa's GLX
// extension applies it to the current drawable); false when there is none.
bool applySwapInterval(gl::GLContext* context, int interval) {
  using SwapIntervalMESA = int (*)(unsigned int);
  auto set = reinterpret_cast<SwapIntervalMESA>(
      context->qtContext()->getProcAddress("glXSwapIntervalMESA"));
  return set && set(unsigned(interval)) == 0;
}

// Whether the drawable bound on `context` (the window's back buffer) stores
// 8 bits in each of red, green, blue and alpha, as the canvas texture does.
bool hasCanvasColourFormat(gl::GLContext* context) {
  gl::GLFunctions& f = context->functions();
  for (int i = 0; i < 8 && f.glGetError() != GL_NO_ERROR; ++i) {
  }
  const GLenum sizes[] = {GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE,
                          GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE,
                          GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE};
  for (GLenum size : sizes) {
    GLint bits = 0;
    f.glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_BACK_LEFT, size, &bits);
    if (bits != 8) return false;
  }
  return f.glGetError() == GL_NO_ERROR;
}

// Lets the gate go and clears `rendering` however the frame ends.
class FrameGuard {
 public:
  FrameGuard(RestoreGate& gate, std::atomic<bool>& rendering) : gate_(gate), rendering_(rendering) {
    rendering_.store(true);
  }
  ~FrameGuard() {
    rendering_.store(false);
    gate_.endFrame();
  }
  FrameGuard(const FrameGuard&) = delete;
  FrameGuard& operator=(const FrameGuard&) = delete;

 private:
  RestoreGate& gate_;
  std::atomic<bool>& rendering_;
};

}  // namespace

CompositorGLView::CompositorGLView(Compositor* compositor)
    : compositor_(compositor), window_(std::make_unique<CompositorCustomWindow>()) {
  CompositorCustomWindow::Handlers handlers;
  handlers.mouseDown = [this](QMouseEvent* event) {
    mouseDown(QPointF(event->position().x(), window_->height() - event->position().y()));
  };
  handlers.mouseDragged = [this](QMouseEvent* event) {
    mouseDragged(QPointF(event->position().x(), window_->height() - event->position().y()),
                 event->globalPosition().toPoint());
  };
  handlers.mouseUp = [this](QMouseEvent*) { mouseUp(); };
  handlers.resized = [this] {
    applyAspectConstraint();
    reshape();
  };
  window_->setHandlers(std::move(handlers));
}

CompositorGLView::~CompositorGLView() {
  observers_.clear();
  killDisplayLink();
  window_->setHandlers({});
}

// --- Set-up ---------------------------------------------------------------------------------

void CompositorGLView::awake(double delay) {
  observers_.observe(QStringLiteral("AppAboutToQuitNotification"), nullptr,
                     [this](const Notification&) { killDisplayLink(); });
  auto screensChanged = [this] { displaysAdjustedNotification(); };
  QObject::connect(qGuiApp, &QGuiApplication::screenAdded, window_.get(), screensChanged);
  QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, window_.get(), screensChanged);
  QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, window_.get(), screensChanged);
  compositor_->layerSizeChangedFrom(QSizeF(), canvasSize_);
  compositor_->canvasSizeChanged(canvasSize_);
  fullscreen_ = false;
  window_->setGeometry(QRect(nonFullscreenLoc_.topLeft(), canvasSize_.toSize()));
  compositor_->setDisplaySize(boundsSize());
  retitle();
  if (delay < 0) return;  // tests that draw no frame
  if (delay == 0) {
    delayedLoad();
    return;
  }
  QTimer::singleShot(int(delay * 1000), window_.get(), [this] { delayedLoad(); });
}

void CompositorGLView::delayedLoad() {
  stopDisplayLink();
  startDisplayLink();
  NotificationCenter::defaultCenter().post(kDoneSettingUpNotification, this);
}

// --- Display link -----------------------------------------------------------------------------

void CompositorGLView::startDisplayLink() {
  if (frameHandler_.load() == 0) {
    frameHandler_.store(gl::RenderThread::instance().addFrameHandler(
        [this](const gl::DisplayLink::Frame& frame) { displayLinkOutputCallback(frame); }));
  }
  needsReshape_.store(true);
  initialized_.store(false);
  safeToRender_.store(true);
}

void CompositorGLView::killDisplayLink() {
  safeToRender_.store(false);
  if (const int id = frameHandler_.exchange(0)) gl::RenderThread::instance().removeFrameHandler(id);
}

// The render thread's purges run after every frame, rendered or skipped.
void CompositorGLView::displayLinkOutputCallback(const gl::DisplayLink::Frame& frame) {
  try {
    if (safeToRender_.load()) render(frame);
  } catch (const std::exception& error) {
    Log::limited(QStringLiteral("CompositorGLView.callback"),
                 QStringLiteral("\t\tcaught exception in displaylink callback: %1")
                     .arg(QString::fromUtf8(error.what())));
  } catch (...) {
    Log::limited(QStringLiteral("CompositorGLView.callback"),
                 QStringLiteral("\t\tcaught exception in displaylink callback: unknown"));
  }
}

void CompositorGLView::render(const gl::DisplayLink::Frame& frame) {
  RestoreGate& gate = compositor_->restoreGate();
  if (!gate.tryBeginFrame()) return;  // a restore holds it: skip the whole frame
  FrameGuard guard(gate, rendering_);
  if (safeToRender_.load()) flushOutput(frame);
}

void CompositorGLView::flushOutput(const gl::DisplayLink::Frame& frame) {
  std::unique_lock<std::recursive_mutex> drawing(drawingLock_, std::try_to_lock);
  if (!drawing.owns_lock()) return;
  bool straight = false;
  bool windowFrameOpen = false;
  {
    Compositor::FrameState state;
    const std::unique_ptr<Compositor::FrameLock> locks = compositor_->tryLockForFrame(&state);
    if (!locks) return;
    straight = drawsStraightIntoWindow(state);
    drewIntoWindow_.store(straight);
    if (straight) {
      compositor_->render(frame);
      windowFrameOpen = drawIntoWindow(state);
    } else {
      if (!prepareCanvasTarget()) return;
      const QSizeF bounds =
          state.displaySize.isEmpty() ? QSizeF(canvasTexture_.size()) : state.displaySize;
      canvasTarget_.setProjection(gl::RenderTarget::topDownOrtho(bounds));
      compositor_->render(frame);
      if (!canvasTarget_.bind(canvasTexture_)) return;
      canvasTarget_.clear(QVector4D(0, 0, 0, 1));
      compositor_->drawContent(state, canvasTarget_, imageContext_);
    }
  }
  // Swapped once the frame's locks are let go, as the canvas path presents.
  if (windowFrameOpen) window_->endFrame();
  if (straight) return;
  if (postClickedColor_.load()) sampleClickedColour();
  present();
}

bool CompositorGLView::drawsStraightIntoWindow(const Compositor::FrameState& state) const {
  return state.contentsRenderingMode == 1 && !postClickedColor_.load() &&
         windowMatchesCanvas_.load() && initialized_.load();
}

// The canvas path's steps with the window as the target; answers whether
// the window's frame is open (to be swapped).
bool CompositorGLView::drawIntoWindow(const Compositor::FrameState& state) {
  if (canvasTexture_) {  // nothing reads it meanwhile; the pool keeps it for a while
    canvasTarget_.detach();
    canvasTexture_.reset();
  }
  compositor_->tapPass();
  gl::GLContext* context = beginWindowFrame();
  if (context) {
    const QSizeF bounds =
        state.displaySize.isEmpty() ? QSizeF(window_->pixelSize()) : state.displaySize;
    context->setProjection(gl::RenderTarget::topDownOrtho(bounds));
    context->functions().glClearColor(0, 0, 0, 1);
    context->functions().glClear(GL_COLOR_BUFFER_BIT);
    compositor_->compositeWithGL(*context);
  }
  compositor_->drawPreviews();
  return context != nullptr;
}

// The canvas target follows the window's pixel size (1 x 1 while nothing
// of the window shows).
bool CompositorGLView::prepareCanvasTarget() {
  QSize pixels = window_->pixelSize();
  if (!window_->exposedForDrawing() || pixels.isEmpty()) pixels = QSize(1, 1);
  if (needsReshape_.exchange(false) || !canvasTexture_ || canvasTexture_.size() != pixels) {
    canvasTarget_.detach();
    canvasTexture_ = gl::TexturePool::shared().acquire(pixels);
  }
  return bool(canvasTexture_);
}

void CompositorGLView::sampleClickedColour() {
  postClickedColor_.store(false);
  gl::GLContext* context = gl::GLContext::current();
  if (!context || !canvasTarget_.bind()) return;
  const QSize pixels = canvasTexture_.size();
  const QSizeF bounds = boundsSize();
  const double scale = bounds.width() > 0 ? pixels.width() / bounds.width() : 1.0;
  const int x = std::clamp(int(clickedX_.load() * scale), 0, std::max(0, pixels.width() - 3));
  const int y = std::clamp(int(clickedY_.load() * scale), 0, std::max(0, pixels.height() - 3));
  float block[3 * 3 * 4] = {};
  context->functions().glReadPixels(x, y, 3, 3, GL_RGBA, GL_FLOAT, block);
  double sum[3] = {0, 0, 0};
  for (int i = 0; i < 9; ++i)
    for (int c = 0; c < 3; ++c) sum[c] += block[i * 4 + c];
  const QColor colour =
      QColor::fromRgbF(float(sum[0] / 9), float(sum[1] / 9), float(sum[2] / 9), 1);
  NotificationCenter::defaultCenter().postOnMainThread(kClickColorNotification, this,
                                                       {{kColorKey, colour}});
}

gl::GLContext* CompositorGLView::beginWindowFrame() {
  gl::GLContext* context = window_->beginFrame();
  if (!context) return nullptr;
  if (!initialized_.load()) {
    const int interval = int(swapInterval_.load());
    applySwapInterval(context, interval);
    appliedSwapInterval_.store(interval);
    windowMatchesCanvas_.store(hasCanvasColourFormat(context));
    initialized_.store(true);
  }
  return context;
}

void CompositorGLView::present() {
  gl::GLContext* context = beginWindowFrame();
  if (!context) return;
  if (gl::QuadShader* quad = gl::QuadShader::forCurrentContext())
    quad->drawUpright(canvasTexture_, QRectF(QPointF(0, 0), QSizeF(window_->pixelSize())));
  window_->endFrame();
}

// --- Settings ------------------------------------------------------------------------------------

bool CompositorGLView::setCanvasSize(QSizeF size) {
  const double limit = gl::TexturePool::shared().maxTextureSize();
  const auto usable = [limit](double side) {
    return std::isfinite(side) && side >= 1 && side <= limit;
  };
  if (!usable(size.width()) || !usable(size.height())) {
    Log::line(QStringLiteral("\t\terr: canvas size %1 x %2 refused")
                  .arg(size.width())
                  .arg(size.height()));
    return false;
  }
  needsReshape_.store(true);
  compositor_->layerSizeChangedFrom(canvasSize_, size);
  canvasSize_ = size;
  {
    compositor_->lockForRender();
    struct Unlock {
      Compositor* compositor;
      ~Unlock() { compositor->unlockRender(); }
    } unlock{compositor_};
    NotificationCenter::defaultCenter().post(Compositor::kCanvasSizeChangedNotification, nullptr,
                                             {{QStringLiteral("canvasSize"), size}});
  }
  if (!fullscreen_ && constrain_) applyAspectConstraint();
  return true;
}

bool CompositorGLView::setCPSwapInterval(long interval) {
  if (interval < 0) {
    Log::line(QStringLiteral("\t\terr: swap interval %1 refused").arg(interval));
    return false;
  }
  const bool wasRunning = displayLinkRunning();
  if (wasRunning) stopDisplayLink();
  {
    std::lock_guard<std::recursive_mutex> drawing(drawingLock_);
    swapInterval_.store(interval);
  }
  if (wasRunning) startDisplayLink();
  return true;
}

bool CompositorGLView::setCanvasPresentationMode(long mode) {
  if (!compositor_->setCanvasPresentationMode(mode)) return false;
  presentationMode_ = mode;
  return true;
}

void CompositorGLView::setConstrainOutputWindow(bool constrain) {
  constrain_ = constrain;
  if (constrain && !fullscreen_) applyAspectConstraint();
}

void CompositorGLView::applyAspectConstraint() {
  if (!constrain_ || fullscreen_ || adjustingAspect_ || canvasSize_.isEmpty()) return;
  const int width = window_->width();
  const int height = int(std::lround(width * canvasSize_.height() / canvasSize_.width()));
  if (height == window_->height() || height < 1) return;
  adjustingAspect_ = true;
  window_->resize(width, height);
  adjustingAspect_ = false;
}

QSizeF CompositorGLView::boundsSize() const { return QSizeF(window_->size()); }

void CompositorGLView::retitle() {
  const QSize size = window_->size();
  window_->setTitle(QStringLiteral("Main Output [%1 x %2]").arg(size.width()).arg(size.height()));
}

void CompositorGLView::reshape() {
  needsReshape_.store(true);
  compositor_->setDisplaySize(boundsSize());
  retitle();
}

// --- Fullscreen
// -------------------------------------------------------------------------------------

void CompositorGLView::setFullscreen(bool fullscreen) {
  if (fullscreen == fullscreen_) return;
  fullscreen_ = fullscreen;
  const bool wasRunning = displayLinkRunning();
  if (wasRunning) stopDisplayLink();
  bool refused = false;
  {
    std::lock_guard<std::recursive_mutex> drawing(drawingLock_);
    if (fullscreen) {
      enterFullscreen();
      refused = !fullscreen_;
    } else {
      leaveFullscreen();
    }
  }
  UserDefaults::standard().synchronize();
  reshape();
  initialized_.store(false);
  if (wasRunning) startDisplayLink();
  if (refused) refuseFullscreen();
}

void CompositorGLView::enterFullscreen() {
  const QRect target = FullscreenTarget::unionOf(ScreenList::frames(), flags_);
  if (target.isEmpty()) {
    fullscreen_ = false;
    window_->setFullscreenStyle(false);
    return;
  }
  nonFullscreenLoc_ = window_->geometry();
  window_->setFullscreenStyle(true);
  window_->setGeometry(target);
  UserDefaults::standard().setValue(kFullscreenFlagKey, true);
}

void CompositorGLView::leaveFullscreen() {
  window_->setFullscreenStyle(false);
  window_->setGeometry(nonFullscreenLoc_);
  applyAspectConstraint();
  UserDefaults::standard().setValue(kFullscreenFlagKey, false);
}

void CompositorGLView::refuseFullscreen() {
  if (fullscreenRefused_) fullscreenRefused_();
  openFullscreenDisplaysWarning();
}

void CompositorGLView::openFullscreenDisplaysWarning() {
  Alert::show(QStringLiteral("No fullscreen displays selected!"),
              QStringLiteral("Please use the output section of the preferences to adjust your "
                             "fullscreen display settings."),
              {QStringLiteral("Right on!")});
}

void CompositorGLView::setFullscreenFlagArray(const QList<bool>& flags) {
  flags_ = flags;
  if (!fullscreen_) return;
  setFullscreen(false);
  setFullscreen(true);
}

bool CompositorGLView::willFullscreenHideAModal() const {
  return fullscreen_ && FullscreenTarget::coversFirstScreen(flags_);
}

void CompositorGLView::displaysAdjustedNotification() {
  if (!fullscreen_) return;
  setFullscreen(false);
  setFullscreen(true);
}

// --- Mouse
// ----------------------------------------------------------------------------------------------

void CompositorGLView::mouseDown(QPointF viewPoint) {
  clickedX_.store(int(viewPoint.x()));
  clickedY_.store(int(viewPoint.y()));
  postClickedColor_.store(true);
  if (fullscreen_) return;
  clickWindFrame_ = window_->geometry();
  const int fromRight = int(window_->width() - viewPoint.x());
  const int fromBottom = int(viewPoint.y());
  resizing_ = std::abs(fromRight) <= kCornerSize && std::abs(fromBottom) <= kCornerSize;
  if (resizing_) postClickedColor_.store(false);
}

// Dragging over the output samples continuously; a corner resize does not.
void CompositorGLView::mouseDragged(QPointF viewPoint, QPoint screenPoint) {
  if (fullscreen_ || !resizing_) {
    clickedX_.store(int(viewPoint.x()));
    clickedY_.store(int(viewPoint.y()));
    postClickedColor_.store(true);
  }
  if (fullscreen_ || !resizing_) return;
  const int width = std::max(kMinimumWindowSide, screenPoint.x() - clickWindFrame_.x());
  const int height = std::max(kMinimumWindowSide, screenPoint.y() - clickWindFrame_.y());
  window_->setGeometry(clickWindFrame_.x(), clickWindFrame_.y(), width, height);
}

void CompositorGLView::mouseUp() {
  if (!fullscreen_ && resizing_) reshape();
  resizing_ = false;
}

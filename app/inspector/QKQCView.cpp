#include "app/inspector/QKQCView.h"

#include "platform/foundation/MainThread.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/TexturePool.h"

#include <QPainter>
#include <QResizeEvent>

#include <cmath>

QKQCView::QKQCView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(80, 60);
}

QKQCView::~QKQCView() = default;

void QKQCView::setCompositor(Compositor* compositor) {
  if (compositor) compositor_ = compositor;
}

void QKQCView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  reshape();
}

void QKQCView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  showing_.store(true);
  reshape();
}

void QKQCView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  showing_.store(false);
}

void QKQCView::reshape() {
  const qreal ratio = devicePixelRatioF();
  pixelWidth_.store(int(std::lround(width() * ratio)));
  pixelHeight_.store(int(std::lround(height() * ratio)));
  needsReshape_.store(true);
}

void QKQCView::render() {
  if (!needsReshape_.exchange(false)) return;
  const QSize pixels(pixelWidth_.load(), pixelHeight_.load());
  if (pixels.isEmpty()) {
    releaseTarget();
    return;
  }
  if (targetTexture_ && targetTexture_.size() == pixels) return;
  target_.detach();
  targetTexture_ = gl::TexturePool::shared().acquire(pixels);
  target_.setViewport(QRect(QPoint(0, 0), pixels));
  target_.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(pixels)));
  target_.setBlend({true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
  showsBlack_ = false;
}

void QKQCView::releaseTarget() {
  target_.detach();
  targetTexture_.reset();
  showsBlack_ = false;
}

void QKQCView::drawTexture(const gl::TextureHandle& texture) {
  render();
  gl::GLContext* context = gl::GLContext::current();
  if (!context || !targetTexture_) return;
  if (!texture && showsBlack_) return;
  gl::QuadShader* quad = texture ? gl::QuadShader::forCurrentContext() : nullptr;
  if (texture && !quad) return;
  const GLuint previous = context->boundFramebuffer();
  const gl::Texture* previousColour = context->drawingInto();
  if (!target_.bind(targetTexture_)) return;
  target_.clear(QVector4D(0, 0, 0, 1));
  const QSize pixels = targetTexture_.size();
  if (texture) quad->drawUpright(texture, QRectF(QPointF(0, 0), QSizeF(pixels)));
  // The rows come bottom first; the alpha is left out (the picture lies on black).
  QImage rows(pixels, QImage::Format_RGBX8888);
  gl::GLFunctions& f = context->functions();
  f.glPixelStorei(GL_PACK_ALIGNMENT, 4);
  f.glReadPixels(0, 0, pixels.width(), pixels.height(), GL_RGBA, GL_UNSIGNED_BYTE, rows.bits());
  context->bindFramebuffer(previous, previousColour);
  showsBlack_ = !texture;
  drawCount_.fetch_add(1);
  storePicture(rows.mirrored(false, true));
}

void QKQCView::storePicture(QImage picture) {
  std::unique_lock<std::mutex> lock(pictureMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  picture_ = std::move(picture);
  lock.unlock();
  askForRepaint();
}

void QKQCView::askForRepaint() {
  if (repaintPending_.exchange(true)) return;
  MainThread::post([this, alive = std::weak_ptr<int>(alive_)] {
    if (!alive.lock()) return;
    repaintPending_.store(false);
    update();
  });
}

QImage QKQCView::picture() const {
  std::lock_guard<std::mutex> lock(pictureMutex_);
  return picture_;
}

void QKQCView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QImage shown = picture();
  if (shown.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  painter.drawImage(rect(), shown);
}

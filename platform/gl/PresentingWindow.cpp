#include "platform/gl/PresentingWindow.h"

#include "platform/gl/QuadShader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/RenderThread.h"

#include <QExposeEvent>
#include <QResizeEvent>

namespace gl {

PresentingWindow::PresentingWindow(QWindow* parent) : QWindow(parent) {
  setSurfaceType(QSurface::OpenGLSurface);
  setFormat(GLContext::defaultFormat());
}

PresentingWindow::~PresentingWindow() {
  exposed_.store(false);
  RenderThread::instance().forgetWindow(this);
}

void PresentingWindow::notePixelSize() {
  const QSize pixels = size() * devicePixelRatio();
  pixelWidth_.store(pixels.width());
  pixelHeight_.store(pixels.height());
}

void PresentingWindow::exposeEvent(QExposeEvent*) {
  notePixelSize();
  exposed_.store(isExposed());
}

void PresentingWindow::resizeEvent(QResizeEvent*) { notePixelSize(); }

GLContext* PresentingWindow::beginFrame() {
  const QSize pixels = pixelSize();
  if (!exposed_.load() || pixels.isEmpty()) return nullptr;
  GLContext* context = RenderThread::instance().contextForWindow(this);
  if (!context || !context->makeCurrent(this)) return nullptr;
  context->invalidateStateCache();
  context->bindFramebuffer(context->qtContext()->defaultFramebufferObject());
  context->setViewport(QRect(QPoint(0, 0), pixels));
  context->setBlend(GLContext::Blend{});
  context->setProjection(RenderTarget::topDownOrtho(pixels));
  drawing_ = context;
  return context;
}

void PresentingWindow::endFrame() {
  if (!drawing_) return;
  // Other windows may have drawn since beginFrame (their contexts made current).
  if (GLContext::current() != drawing_ && !drawing_->makeCurrent(this)) {
    drawing_ = nullptr;
    if (GLContext* main = RenderThread::instance().mainContext()) main->makeCurrent();
    return;
  }
  drawing_->swapBuffers(this);
  drawing_ = nullptr;
  presented_.fetch_add(1);
  if (GLContext* main = RenderThread::instance().mainContext()) main->makeCurrent();
}

bool PresentingWindow::present(const TextureHandle& texture, const QVector4D& background) {
  GLContext* context = beginFrame();
  if (!context) return false;
  GLFunctions& f = context->functions();
  f.glClearColor(background.x(), background.y(), background.z(), background.w());
  f.glClear(GL_COLOR_BUFFER_BIT);
  if (texture) {
    if (QuadShader* quad = QuadShader::forCurrentContext())
      quad->drawUpright(texture, QRectF(QPointF(0, 0), QSizeF(pixelSize())));
  }
  endFrame();
  return true;
}

}  // namespace gl

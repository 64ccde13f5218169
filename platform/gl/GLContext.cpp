#include "platform/gl/GLContext.h"

#include <QOpenGLContext>
#include <QOpenGLVersionFunctionsFactory>
#include <QSurface>

namespace gl {

namespace {
thread_local GLContext* currentContext = nullptr;
}

QSurfaceFormat GLContext::defaultFormat() {
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setVersion(3, 3);
  format.setProfile(QSurfaceFormat::CoreProfile);
  format.setRedBufferSize(8);
  format.setGreenBufferSize(8);
  format.setBlueBufferSize(8);
  format.setAlphaBufferSize(8);
  format.setDepthBufferSize(16);
  format.setSwapInterval(0);
  format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  return format;
}

std::unique_ptr<GLContext> GLContext::create(QSurface* surface, GLContext* shareWith,
                                             QString* error) {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return std::unique_ptr<GLContext>();
  };
  if (!surface) return fail(QStringLiteral("no surface"));
  std::unique_ptr<GLContext> context(new GLContext);
  context->context_ = std::make_unique<QOpenGLContext>();
  context->context_->setFormat(defaultFormat());
  if (shareWith) {
    context->shareRoot_ = shareWith->shareRoot();
    context->context_->setShareContext(context->shareRoot_->qtContext());
  }
  if (!context->context_->create())
    return fail(QStringLiteral("the platform has no OpenGL context"));
  if (shareWith && !context->context_->shareContext())
    return fail(QStringLiteral("the context cannot share textures"));
  const QSurfaceFormat got = context->context_->format();
  if (got.profile() != QSurfaceFormat::CoreProfile || got.version() < qMakePair(3, 3))
    return fail(QStringLiteral("OpenGL 3.3 core is not available (got %1.%2)")
                    .arg(got.majorVersion())
                    .arg(got.minorVersion()));
  context->surface_ = surface;
  if (!context->makeCurrent()) return fail(QStringLiteral("the context cannot be made current"));
  context->functions_ =
      QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Core>(context->context_.get());
  if (!context->functions_ || !context->functions_->initializeOpenGLFunctions())
    return fail(QStringLiteral("OpenGL 3.3 core functions are missing"));
  return context;
}

GLContext::~GLContext() {
  if (context_ && makeCurrent()) {
    cache_.clear();
    if (emptyVertexArray_) functions_->glDeleteVertexArrays(1, &emptyVertexArray_);
    context_->doneCurrent();
  }
  lifetime_.reset();
  if (currentContext == this) currentContext = nullptr;
}

GLContext* GLContext::current() { return currentContext; }

bool GLContext::makeCurrent() { return makeCurrent(surface_); }

bool GLContext::makeCurrent(QSurface* surface) {
  if (!context_ || !surface) return false;
  if (currentContext == this && context_->surface() == surface &&
      QOpenGLContext::currentContext() == context_.get())
    return true;
  if (!context_->makeCurrent(surface)) return false;
  currentContext = this;
  return true;
}

void GLContext::doneCurrent() {
  if (context_) context_->doneCurrent();
  if (currentContext == this) currentContext = nullptr;
}

void GLContext::swapBuffers(QSurface* surface) {
  if (context_) context_->swapBuffers(surface);
}

bool GLContext::sharesWith(const GLContext* other) const {
  if (!other) return false;
  const GLContext* mine = shareRoot_ ? shareRoot_ : this;
  const GLContext* theirs = other->shareRoot_ ? other->shareRoot_ : other;
  return mine == theirs;
}

QString GLContext::rendererName() {
  const GLubyte* name = functions_->glGetString(GL_RENDERER);
  return name ? QString::fromLatin1(reinterpret_cast<const char*>(name)) : QString();
}

GLint GLContext::maxTextureSize() {
  if (!maxTextureSize_) functions_->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
  return maxTextureSize_;
}

void GLContext::bindFramebuffer(GLuint framebuffer, const Texture* colour) {
  drawingInto_ = framebuffer ? colour : nullptr;
  if (framebufferKnown_ && framebuffer_ == framebuffer) return;
  functions_->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  framebuffer_ = framebuffer;
  framebufferKnown_ = true;
}

void GLContext::setViewport(const QRect& viewport) {
  if (viewportKnown_ && viewport_ == viewport) return;
  functions_->glViewport(viewport.x(), viewport.y(), viewport.width(), viewport.height());
  viewport_ = viewport;
  viewportKnown_ = true;
}

void GLContext::setBlend(const Blend& blend) {
  if (blendKnown_ && blend_ == blend) return;
  if (blend.enabled) {
    functions_->glEnable(GL_BLEND);
    functions_->glBlendFunc(blend.source, blend.destination);
  } else {
    functions_->glDisable(GL_BLEND);
  }
  blend_ = blend;
  blendKnown_ = true;
}

void GLContext::invalidateStateCache() {
  drawingInto_ = nullptr;
  framebufferKnown_ = false;
  viewportKnown_ = false;
  blendKnown_ = false;
}

GLuint GLContext::emptyVertexArray() {
  if (!emptyVertexArray_) functions_->glGenVertexArrays(1, &emptyVertexArray_);
  return emptyVertexArray_;
}

}  // namespace gl

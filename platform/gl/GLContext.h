#pragma once

#include <QMatrix4x4>
#include <QOpenGLFunctions_3_3_Core>
#include <QRect>
#include <QString>
#include <QSurfaceFormat>

#include <functional>
#include <map>
#include <memory>

class QOpenGLContext;
class QSurface;

namespace gl {

class Texture;
using GLFunctions = QOpenGLFunctions_3_3_Core;

// One OpenGL 3.3 core context of the render thread: the main context, which
// renders into framebuffer objects, or the context of a presenting window,
// which shares textures (and programs) with the main one. Created, made
// current and destroyed on the thread that uses it.
//
// The context keeps a small cache of the state our code sets (framebuffer,
// viewport, blending, projection) so that render targets can switch cheaply
// and so that a kernel can put back the target it found. Code that changes
// that state with raw GL calls calls invalidateStateCache().
class GLContext {
 public:
  struct Blend {
    bool enabled = false;
    GLenum source = GL_SRC_ALPHA;
    GLenum destination = GL_ONE_MINUS_SRC_ALPHA;
    bool operator==(const Blend& other) const {
      return enabled == other.enabled && source == other.source && destination == other.destination;
    }
  };

  // RGBA 8 bits, 16-bit depth, OpenGL 3.3 core, swap interval 0.
  static QSurfaceFormat defaultFormat();

  // Makes a context for `surface` on the calling thread; null (with `error`
  // filled in) when the platform has no OpenGL or refuses the format.
  static std::unique_ptr<GLContext> create(QSurface* surface, GLContext* shareWith,
                                           QString* error = nullptr);
  ~GLContext();
  GLContext(const GLContext&) = delete;
  GLContext& operator=(const GLContext&) = delete;

  // The context current on the calling thread (made current through us).
  static GLContext* current();

  bool makeCurrent();
  bool makeCurrent(QSurface* surface);
  void doneCurrent();
  void swapBuffers(QSurface* surface);

  GLFunctions& functions() { return *functions_; }
  QOpenGLContext* qtContext() const { return context_.get(); }
  QSurface* surface() const { return surface_; }
  // The context textures are shared with (this one for the main context).
  GLContext* shareRoot() { return shareRoot_ ? shareRoot_ : this; }
  bool sharesWith(const GLContext* other) const;

  // Liveness of this context's own objects (framebuffers, vertex arrays)
  // and of the objects of its share group (textures, buffers, programs).
  std::weak_ptr<void> lifetime() const { return lifetime_; }
  std::weak_ptr<void> shareGroupLifetime() { return shareRoot()->lifetime_; }

  QString rendererName();
  GLint maxTextureSize();

  // State cache. `colour` is the texture the framebuffer draws into, so
  // that drawing code can refuse to sample the texture it writes.
  void bindFramebuffer(GLuint framebuffer, const Texture* colour = nullptr);
  GLuint boundFramebuffer() const { return framebuffer_; }
  const Texture* drawingInto() const { return drawingInto_; }
  void setViewport(const QRect& viewport);
  QRect viewport() const { return viewport_; }
  void setBlend(const Blend& blend);
  Blend blend() const { return blend_; }
  void setProjection(const QMatrix4x4& projection) { projection_ = projection; }
  const QMatrix4x4& projection() const { return projection_; }
  void invalidateStateCache();

  // A per-context object (program, vertex array …) made on first use and
  // destroyed with the context (while it is current).
  template <class T>
  T& cached(const QString& key, const std::function<std::shared_ptr<T>()>& make) {
    auto it = cache_.find(key);
    if (it == cache_.end()) it = cache_.emplace(key, make()).first;
    return *static_cast<T*>(it->second.get());
  }
  // The empty vertex array that attribute-less quads are drawn with.
  GLuint emptyVertexArray();

 private:
  GLContext() = default;

  std::unique_ptr<QOpenGLContext> context_;
  QSurface* surface_ = nullptr;
  GLContext* shareRoot_ = nullptr;
  GLFunctions* functions_ = nullptr;
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
  std::map<QString, std::shared_ptr<void>> cache_;
  GLuint emptyVertexArray_ = 0;
  GLint maxTextureSize_ = 0;

  bool framebufferKnown_ = false;
  bool viewportKnown_ = false;
  bool blendKnown_ = false;
  GLuint framebuffer_ = 0;
  const Texture* drawingInto_ = nullptr;
  QRect viewport_;
  Blend blend_;
  QMatrix4x4 projection_;
};

}  // namespace gl

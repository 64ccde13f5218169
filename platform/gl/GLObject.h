#pragma once

#include <QOpenGLFunctions_3_3_Core>

#include <memory>

namespace gl {

// Owns one OpenGL object name. The object is deleted where that is safe: at
// once when a context it belongs to is current on the calling thread,
// otherwise it is handed to the render thread, which deletes it after its
// next frame. Once its context is gone the name is simply forgotten (the
// context took its objects with it).
class GLObject {
 public:
  enum class Kind { Texture, Framebuffer, Buffer, Program, VertexArray, Sampler };

  GLObject() = default;
  // `owner`: the lifetime of the context (framebuffers, vertex arrays) or of
  // the share group (textures, buffers, programs) the name belongs to.
  GLObject(Kind kind, GLuint name, std::weak_ptr<void> owner);
  ~GLObject() { reset(); }
  GLObject(GLObject&& other) noexcept;
  GLObject& operator=(GLObject&& other) noexcept;
  GLObject(const GLObject&) = delete;
  GLObject& operator=(const GLObject&) = delete;

  GLuint name() const { return name_; }
  explicit operator bool() const { return name_ != 0; }
  // The name is set and its context still exists.
  bool alive() const { return name_ != 0 && !owner_.expired(); }
  Kind kind() const { return kind_; }
  bool ownedBy(const std::weak_ptr<void>& owner) const;
  void reset();

  // Deletes the name now if a context of its owner is current on this
  // thread; answers false (and deletes nothing) otherwise.
  static bool deleteIfCurrent(Kind kind, GLuint name, const std::weak_ptr<void>& owner);

 private:
  Kind kind_ = Kind::Texture;
  GLuint name_ = 0;
  std::weak_ptr<void> owner_;
};

}  // namespace gl

#include "platform/gl/GLObject.h"

#include "platform/gl/GLContext.h"
#include "platform/gl/RenderThread.h"

namespace gl {

namespace {
bool sameOwner(const std::weak_ptr<void>& a, const std::weak_ptr<void>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}

bool sharedKind(GLObject::Kind kind) {
  return kind != GLObject::Kind::Framebuffer && kind != GLObject::Kind::VertexArray;
}
}  // namespace

GLObject::GLObject(Kind kind, GLuint name, std::weak_ptr<void> owner)
    : kind_(kind), name_(name), owner_(std::move(owner)) {}

GLObject::GLObject(GLObject&& other) noexcept
    : kind_(other.kind_), name_(other.name_), owner_(std::move(other.owner_)) {
  other.name_ = 0;
}

GLObject& GLObject::operator=(GLObject&& other) noexcept {
  if (this != &other) {
    reset();
    kind_ = other.kind_;
    name_ = other.name_;
    owner_ = std::move(other.owner_);
    other.name_ = 0;
  }
  return *this;
}

bool GLObject::ownedBy(const std::weak_ptr<void>& owner) const { return sameOwner(owner_, owner); }

void GLObject::reset() {
  if (!name_) return;
  const Kind kind = kind_;
  const GLuint name = name_;
  std::weak_ptr<void> owner = std::move(owner_);
  name_ = 0;
  if (owner.expired() || deleteIfCurrent(kind, name, owner)) return;
  RenderThread::instance().disposeLater(
      [kind, name, owner] { deleteIfCurrent(kind, name, owner); });
}

bool GLObject::deleteIfCurrent(Kind kind, GLuint name, const std::weak_ptr<void>& owner) {
  if (owner.expired()) return true;
  GLContext* context = GLContext::current();
  if (!context) return false;
  const std::weak_ptr<void> mine =
      sharedKind(kind) ? context->shareGroupLifetime() : context->lifetime();
  if (!sameOwner(mine, owner)) return false;
  GLFunctions& f = context->functions();
  switch (kind) {
    case Kind::Texture:
      f.glDeleteTextures(1, &name);
      break;
    case Kind::Framebuffer:
      if (context->boundFramebuffer() == name) context->bindFramebuffer(0);
      f.glDeleteFramebuffers(1, &name);
      break;
    case Kind::Buffer:
      f.glDeleteBuffers(1, &name);
      break;
    case Kind::Program:
      f.glDeleteProgram(name);
      break;
    case Kind::VertexArray:
      f.glDeleteVertexArrays(1, &name);
      break;
    case Kind::Sampler:
      f.glDeleteSamplers(1, &name);
      break;
  }
  return true;
}

}  // namespace gl

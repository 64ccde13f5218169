#include "platform/gl/Texture.h"

#include "platform/gl/GLContext.h"
#include "platform/gl/YuvConverter.h"
#include "platform/gl/YuvPicture.h"

namespace gl {

GLenum Texture::glTarget() const {
  return spec_.target == TextureTarget::Rectangle ? GL_TEXTURE_RECTANGLE : GL_TEXTURE_2D;
}

GLenum Texture::internalFormat() const {
  switch (spec_.format) {
    case TextureFormat::RGBA16F:
      return GL_RGBA16F;
    case TextureFormat::R8:
      return GL_R8;
    default:
      return GL_RGBA8;
  }
}

void Texture::setYuvPicture(std::shared_ptr<const YuvPicture> picture) {
  yuv_ = std::move(picture);
  yuvConverted_ = false;
}

void Texture::addWriteObserver(WriteObserver observer) {
  // A texture that is only read collects the observers of every frame.
  if (writeObservers_.size() >= 16)
    std::erase_if(writeObservers_, [](const WriteObserver& o) { return o.expired(); });
  writeObservers_.push_back(std::move(observer));
}

void Texture::aboutToWrite() {
  if (writeObservers_.empty()) return;
  std::vector<WriteObserver> observers;
  observers.swap(writeObservers_);
  for (const WriteObserver& observer : observers)
    if (std::shared_ptr<std::function<void()>> work = observer.lock()) (*work)();
}

GLuint Texture::name() {
  if (object_.alive() && (!yuv_ || yuvConverted_)) return object_.name();
  const GLuint name = makeName();
  if (name && yuv_ && !yuvConverted_) {
    yuvConverted_ = true;  // the conversion binds this texture: no second one
    if (!YuvConverter::convert(*this, *yuv_)) yuvConverted_ = false;
  }
  return name;
}

GLuint Texture::makeName() {
  if (object_.alive()) return object_.name();
  GLContext* context = GLContext::current();
  if (!context || spec_.size.isEmpty()) return 0;
  GLFunctions& f = context->functions();
  GLuint name = 0;
  f.glGenTextures(1, &name);
  const GLenum target = glTarget();
  f.glBindTexture(target, name);
  f.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  f.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  f.glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  f.glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  const GLenum type = spec_.format == TextureFormat::RGBA16F ? GL_HALF_FLOAT : GL_UNSIGNED_BYTE;
  const GLenum layout = spec_.format == TextureFormat::R8 ? GL_RED : GL_RGBA;
  f.glTexImage2D(target, 0, GLint(internalFormat()), spec_.size.width(), spec_.size.height(), 0,
                 layout, type, nullptr);
  f.glBindTexture(target, 0);
  object_ = GLObject(GLObject::Kind::Texture, name, context->shareGroupLifetime());
  yuvConverted_ = false;  // new storage holds nothing yet
  return name;
}

}  // namespace gl

#pragma once

#include "platform/gl/Texture.h"

#include <memory>

namespace gl {

// A reference-counted handle on a texture. Copies share the texture; the
// texture goes back to its pool (or is deleted) when the last handle is
// gone. `flipped` says how the picture lies in the texture: true when its
// first row holds the top of the picture (an uploaded image), false when
// the first row holds the bottom (what a framebuffer render produces).
class TextureHandle {
 public:
  TextureHandle() = default;
  explicit TextureHandle(std::shared_ptr<Texture> storage, bool flipped = false)
      : storage_(std::move(storage)), flipped_(flipped) {}

  explicit operator bool() const { return storage_ != nullptr; }
  bool isNull() const { return storage_ == nullptr; }
  void reset() { storage_.reset(); }

  // Render thread only (see Texture::name).
  GLuint name() const { return storage_ ? storage_->name() : 0; }
  GLenum target() const { return storage_ ? storage_->glTarget() : GLenum(GL_TEXTURE_2D); }
  bool isRectangle() const {
    return storage_ && storage_->spec().target == TextureTarget::Rectangle;
  }
  QSize size() const { return storage_ ? storage_->size() : QSize(); }
  Texture* storage() const { return storage_.get(); }

  bool isFlipped() const { return flipped_; }
  void setFlipped(bool flipped) { flipped_ = flipped; }
  TextureHandle withFlipped(bool flipped) const { return TextureHandle(storage_, flipped); }

  bool sameTexture(const TextureHandle& other) const { return storage_ == other.storage_; }

 private:
  std::shared_ptr<Texture> storage_;
  bool flipped_ = false;
};

}  // namespace gl

#pragma once

#include "platform/gl/GLObject.h"
#include "platform/gl/TexturePool.h"

#include <QImage>

#include <array>

namespace gl {

// Uploads CPU frames into textures through a small ring of pixel-buffer
// objects, so that the copy into GL memory does not wait for the GPU to
// finish with the previous frame. Textures carry straight (not
// premultiplied) alpha: Qt images are converted from their premultiplied
// formats. Rows are uploaded top row first, so the textures come out
// `flipped`. Render thread only; one uploader per producer.
class PixelUploader {
 public:
  enum class Layout { RGBA8, BGRA8 };

  PixelUploader() = default;
  PixelUploader(const PixelUploader&) = delete;
  PixelUploader& operator=(const PixelUploader&) = delete;

  // Into a new texture from `pool`; null for an empty frame or without a
  // context.
  TextureHandle upload(const uchar* pixels, QSize size, int bytesPerLine,
                       Layout layout = Layout::RGBA8, TexturePool& pool = TexturePool::shared());
  TextureHandle upload(const QImage& image, TexturePool& pool = TexturePool::shared());
  // Into an existing texture of the same size; false when the sizes differ.
  bool uploadInto(const TextureHandle& texture, const uchar* pixels, QSize size, int bytesPerLine,
                  Layout layout = Layout::RGBA8);

  // A Qt image as straight RGBA8888 (shares the data when already so).
  static QImage toStraightRGBA(const QImage& image);

 private:
  std::array<GLObject, 3> buffers_;
  std::size_t next_ = 0;
};

}  // namespace gl

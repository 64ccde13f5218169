#include "platform/gl/PixelUploader.h"

#include "platform/gl/GLContext.h"

#include <cstring>

namespace gl {

QImage PixelUploader::toStraightRGBA(const QImage& image) {
  if (image.format() == QImage::Format_RGBA8888) return image;
  return image.convertToFormat(QImage::Format_RGBA8888);
}

TextureHandle PixelUploader::upload(const uchar* pixels, QSize size, int bytesPerLine,
                                    Layout layout, TexturePool& pool) {
  if (!pixels || size.isEmpty() || !GLContext::current()) return {};
  TextureHandle texture = pool.acquire(size);
  if (!texture || !uploadInto(texture, pixels, size, bytesPerLine, layout)) return {};
  texture.setFlipped(true);
  return texture;
}

TextureHandle PixelUploader::upload(const QImage& image, TexturePool& pool) {
  if (image.isNull()) return {};
  const QImage rgba = toStraightRGBA(image);
  return upload(rgba.constBits(), rgba.size(), int(rgba.bytesPerLine()), Layout::RGBA8, pool);
}

bool PixelUploader::uploadInto(const TextureHandle& texture, const uchar* pixels, QSize size,
                               int bytesPerLine, Layout layout) {
  GLContext* context = GLContext::current();
  if (!context || !pixels || size.isEmpty() || texture.size() != size) return false;
  const std::size_t rowBytes = std::size_t(size.width()) * 4;
  // A stride shorter than a row would read past the caller's pixels.
  if (bytesPerLine < 0 || std::size_t(bytesPerLine) < rowBytes) return false;
  const GLuint name = texture.name();
  if (!name) return false;
  texture.storage()->aboutToWrite();
  GLFunctions& f = context->functions();
  const std::size_t total = rowBytes * std::size_t(size.height());

  GLObject& buffer = buffers_[next_];
  next_ = (next_ + 1) % buffers_.size();
  if (!buffer.alive()) {
    GLuint made = 0;
    f.glGenBuffers(1, &made);
    buffer = GLObject(GLObject::Kind::Buffer, made, context->shareGroupLifetime());
  }
  f.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, buffer.name());
  // Orphan the old storage so that the map does not wait on the GPU.
  f.glBufferData(GL_PIXEL_UNPACK_BUFFER, GLsizeiptr(total), nullptr, GL_STREAM_DRAW);
  void* mapped = f.glMapBufferRange(GL_PIXEL_UNPACK_BUFFER, 0, GLsizeiptr(total),
                                    GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
  if (!mapped) {
    f.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    return false;
  }
  auto* out = static_cast<uchar*>(mapped);
  if (std::size_t(bytesPerLine) == rowBytes) {
    std::memcpy(out, pixels, total);
  } else {
    for (int row = 0; row < size.height(); ++row)
      std::memcpy(out + std::size_t(row) * rowBytes, pixels + std::size_t(row) * bytesPerLine,
                  rowBytes);
  }
  f.glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER);
  f.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  f.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  f.glBindTexture(texture.target(), name);
  f.glTexSubImage2D(texture.target(), 0, 0, 0, size.width(), size.height(),
                    layout == Layout::BGRA8 ? GL_BGRA : GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  f.glBindTexture(texture.target(), 0);
  f.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  return true;
}

}  // namespace gl

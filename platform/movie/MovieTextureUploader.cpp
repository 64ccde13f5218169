#include "platform/movie/MovieTextureUploader.h"

#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/YuvPicture.h"
#include "platform/movie/VideoFrame.h"

namespace {

// A plain upload of one plane from memory into its texture.
bool uploadPlane(gl::GLFunctions& f, gl::TextureHandle& plane, const VideoFrame& frame, int i) {
  const GLuint name = plane.name();
  if (!name) return false;
  f.glBindTexture(GL_TEXTURE_2D, name);
  f.glPixelStorei(GL_UNPACK_ROW_LENGTH, frame.stride(i));
  f.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, frame.planeWidth(i), frame.planeHeight(i), GL_RED,
                    GL_UNSIGNED_BYTE, frame.plane(i));
  return true;
}

}  // namespace

gl::TextureHandle MovieTextureUploader::upload(const VideoFrame& frame, gl::TexturePool& pool) {
  if (frame.format() == VideoFrame::Format::Rgba)
    return rgba_.upload(frame.plane(0), QSize(frame.width(), frame.height()), frame.stride(0),
                        gl::PixelUploader::Layout::RGBA8, pool);
  gl::TextureHandle texture = uploadYuv(frame, pool);
  if (!texture)
    Log::limited(QStringLiteral("movie-upload"),
                 QStringLiteral("\t\terr: movie frame upload failed"));
  return texture;
}

gl::TextureHandle MovieTextureUploader::uploadYuv(const VideoFrame& frame, gl::TexturePool& pool) {
  gl::GLContext* context = gl::GLContext::current();
  if (!context) return {};
  auto picture = std::make_shared<gl::YuvPicture>();
  picture->lumaSize = QSize(frame.planeWidth(0), frame.planeHeight(0));
  picture->rotation = frame.rotation();
  picture->fullRange = frame.fullRange();
  picture->bt709 = frame.bt709();
  gl::GLFunctions& f = context->functions();
  f.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  f.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  f.glActiveTexture(GL_TEXTURE0);
  bool uploaded = true;
  for (int i = 0; i < 3 && uploaded; ++i) {
    gl::TextureHandle& plane = picture->planes[size_t(i)];
    plane = pool.acquire(QSize(frame.planeWidth(i), frame.planeHeight(i)),
                         gl::TextureTarget::Texture2D, gl::TextureFormat::R8);
    uploaded = plane && uploadPlane(f, plane, frame, i);
  }
  f.glBindTexture(GL_TEXTURE_2D, 0);
  f.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  f.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (!uploaded || f.glGetError() != GL_NO_ERROR) return {};
  gl::TextureHandle texture = pool.acquire(picture->shownSize());
  if (!texture) return {};
  texture.storage()->setYuvPicture(std::move(picture));
  texture.setFlipped(true);
  return texture;
}

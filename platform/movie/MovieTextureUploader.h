#pragma once

#include "platform/gl/PixelUploader.h"
#include "platform/gl/TexturePool.h"

class VideoFrame;

// Puts decoded movie and capture frames into pooled textures on the render
// thread: RGBA frames through the pixel-buffer uploader; YUV frames as their
// three planes, under an RGBA texture that stands for the picture
// (gl::YuvPicture). Drawing the handle samples the planes and converts in
// that draw; a reader that needs RGBA gets it converted on demand. Each
// frame has textures of its own, so a handle kept shows its own picture. The
// textures come out with the picture's top row first (`flipped`), like every
// upload. Render thread only; one uploader per consumer.
class MovieTextureUploader {
 public:
  MovieTextureUploader() = default;
  MovieTextureUploader(const MovieTextureUploader&) = delete;
  MovieTextureUploader& operator=(const MovieTextureUploader&) = delete;

  // Null without a current context or on a GL failure (logged, rate-limited).
  gl::TextureHandle upload(const VideoFrame& frame,
                           gl::TexturePool& pool = gl::TexturePool::shared());

 private:
  gl::TextureHandle uploadYuv(const VideoFrame& frame, gl::TexturePool& pool);

  gl::PixelUploader rgba_;
};

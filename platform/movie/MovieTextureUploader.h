#pragma once

#include "platform/gl/GLObject.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"

#include <QSize>

#include <array>

class VideoFrame;

// Puts decoded movie frames into pooled RGBA textures on the render thread:
// RGBA frames through the pixel-buffer uploader, YUV frames as three plane
// textures converted by a shader into the RGBA texture. The textures come out
// with the picture's top row first (`flipped`), like every upload. Render
// thread only; one uploader per consumer.
class MovieTextureUploader {
 public:
  MovieTextureUploader() = default;
  MovieTextureUploader(const MovieTextureUploader&) = delete;
  MovieTextureUploader& operator=(const MovieTextureUploader&) = delete;

  // Null without a current context or on a GL failure (logged, rate-limited).
  gl::TextureHandle upload(const VideoFrame& frame, gl::TexturePool& pool = gl::TexturePool::shared());

 private:
  gl::TextureHandle convertYuv(const VideoFrame& frame, gl::TexturePool& pool);
  bool uploadPlanes(const VideoFrame& frame);

  gl::PixelUploader rgba_;
  std::array<gl::GLObject, 3> planes_;
  std::array<QSize, 3> planeSizes_;
  gl::RenderTarget target_;
};

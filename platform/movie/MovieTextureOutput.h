#pragma once

#include "platform/gl/TextureHandle.h"
#include "platform/movie/MovieFrameReader.h"
#include "platform/movie/MovieTextureUploader.h"

#include <memory>

class Movie;

// A movie's pictures as textures for one consumer on the render thread (the
// stand-in for a movie's texture context): once per display frame, `update`
// takes the frame due and, when it is new, uploads it. With no new frame the
// texture of the last one stays. Never waits.
class MovieTextureOutput {
 public:
  explicit MovieTextureOutput(std::shared_ptr<Movie> movie = nullptr) : reader_(std::move(movie)) {}

  void setMovie(std::shared_ptr<Movie> movie);
  const std::shared_ptr<Movie>& movie() const { return reader_.movie(); }

  // Answers whether a new picture was uploaded.
  bool update(int64_t displayHostNanos, gl::TexturePool& pool = gl::TexturePool::shared());
  const gl::TextureHandle& texture() const { return texture_; }
  // The frame the texture shows (null before the first).
  const std::shared_ptr<const VideoFrame>& frame() const { return reader_.frame(); }

 private:
  MovieFrameReader reader_;
  MovieTextureUploader uploader_;
  gl::TextureHandle texture_;
};

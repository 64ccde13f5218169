#include "platform/movie/MovieTextureOutput.h"

#include "platform/movie/Movie.h"

void MovieTextureOutput::setMovie(std::shared_ptr<Movie> movie) {
  if (movie == reader_.movie()) return;
  reader_.setMovie(std::move(movie));
  texture_.reset();
}

bool MovieTextureOutput::update(int64_t displayHostNanos, gl::TexturePool& pool) {
  if (!reader_.update(displayHostNanos) || !reader_.frame()) return false;
  gl::TextureHandle uploaded = uploader_.upload(*reader_.frame(), pool);
  if (!uploaded) return false;
  texture_ = std::move(uploaded);
  return true;
}

#include "platform/movie/MovieFrameReader.h"

#include "platform/movie/Movie.h"

MovieFrameReader::MovieFrameReader(std::shared_ptr<Movie> movie) : movie_(std::move(movie)) {}

void MovieFrameReader::setMovie(std::shared_ptr<Movie> movie) {
  if (movie == movie_) return;
  movie_ = std::move(movie);
  frame_.reset();
}

bool MovieFrameReader::update(int64_t displayHostNanos) {
  if (!movie_) return false;
  std::shared_ptr<const VideoFrame> due = movie_->frameForDisplayTime(displayHostNanos);
  if (!due || (frame_ && due->serial() == frame_->serial())) return false;
  frame_ = std::move(due);
  return true;
}

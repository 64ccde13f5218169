#pragma once

#include "platform/movie/VideoFrame.h"

#include <cstdint>
#include <memory>

class Movie;

// One consumer's view of a movie's pictures (a layer, a preview): asked once
// per display frame on the render thread whether a new picture is due, it
// keeps the picture it has until the next one is decoded. Never waits.
class MovieFrameReader {
 public:
  explicit MovieFrameReader(std::shared_ptr<Movie> movie = nullptr);

  void setMovie(std::shared_ptr<Movie> movie);
  const std::shared_ptr<Movie>& movie() const { return movie_; }

  // Takes the frame due at the display time; answers whether it differs from
  // the one held before.
  bool update(int64_t displayHostNanos);
  // The picture now held (null until the first one arrives).
  const std::shared_ptr<const VideoFrame>& frame() const { return frame_; }

 private:
  std::shared_ptr<Movie> movie_;
  std::shared_ptr<const VideoFrame> frame_;
};

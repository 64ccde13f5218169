#pragma once

class Movie;

// The sound of a playing movie (filled in below).
class MovieAudio {
 public:
  explicit MovieAudio(Movie& movie) : movie_(movie) {}
  void positionChanged() {}

 private:
  [[maybe_unused]] Movie& movie_;
};

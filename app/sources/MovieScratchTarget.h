#pragma once

// What the movie panel's scratch strip asks of its movie source while the
// mouse is down (main thread).
class MovieScratchTarget {
 public:
  virtual ~MovieScratchTarget() = default;

  // The pause toggle: 1 while the movie plays, 0 while it is paused.
  // Setting it sends its action, which pauses or resumes the movie.
  virtual int pauseToggleValue() const = 0;
  virtual void setPauseToggleValue(int value) = 0;
  // The movie's time in seconds; -1 without a file.
  virtual float lastMovieTime() const = 0;
  // Moves the movie there, kept inside the time slider's envelope; nothing
  // without a movie.
  virtual void setTimeMainThread(float seconds) = 0;
  // The speed slider's speed, and applying a speed to the movie (ignored
  // while it is paused or stopped).
  virtual float speedSliderValue() const = 0;
  virtual void setSpeedMainThread(float speed) = 0;
};

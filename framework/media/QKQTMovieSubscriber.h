#pragma once

// The layer source that plays a movie, as the movie and its file see it:
// they pause it around edits and RAM loading and resume it afterwards.
class QKQTMovieSubscriber {
 public:
  virtual ~QKQTMovieSubscriber() = default;
  virtual bool paused() const = 0;
  virtual void setPausedMainThread(bool paused) = 0;
};

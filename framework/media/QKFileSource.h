#pragma once

#include <QString>

// A layer source as the media file it plays sees it. Movie sources also
// implement QKQTMovieSubscriber, through which the file pauses them.
class QKFileSource {
 public:
  virtual ~QKFileSource() = default;
  // The key under which the layer made the source ("QCSource", …).
  virtual QString name() const = 0;
};

#pragma once

#include <QWidget>

class QCheckBox;

// The "Movie Playback" pane: whether movies loop through the player's own
// looping ("useQTMovieLooping", on when absent) or through the movie
// source's end check. Main thread.
class MovieSourcePrefsController : public QWidget {
  Q_OBJECT
 public:
  static const QString kLoopingKey;  // "useQTMovieLooping"

  explicit MovieSourcePrefsController(QWidget* parent = nullptr);

  // Applies the stored choice; writes nothing.
  void awakeFromNib();
  void buttonUsed(QObject* sender);

  QCheckBox* useQTMovieLoopingButton() const { return useQTMovieLoopingButton_; }

 private:
  QCheckBox* useQTMovieLoopingButton_ = nullptr;
};

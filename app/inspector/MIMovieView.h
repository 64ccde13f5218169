#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>

class QKQTMovie;

// The inspector's movie view: paints the preview movie's frame due now,
// fitted and centred, on the main thread. It only asks the movie for a
// frame already decoded (never waits); until one is, it keeps the last.
class MIMovieView : public QWidget {
  Q_OBJECT
 public:
  explicit MIMovieView(QWidget* parent = nullptr);

  void setMovie(std::shared_ptr<QKQTMovie> movie);
  std::shared_ptr<QKQTMovie> movie() const { return movie_; }
  void play();
  void pause();
  // Takes the frame due now, if it is a new one; answers whether it was.
  bool refresh();
  // The last frame shown (null when none).
  QImage picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::shared_ptr<QKQTMovie> movie_;
  QImage picture_;
  uint64_t serial_ = 0;
  QTimer refreshTimer_;
};

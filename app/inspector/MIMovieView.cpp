#include "app/inspector/MIMovieView.h"

#include "framework/media/QKQTMovie.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/VideoFrame.h"

#include <QPainter>

MIMovieView::MIMovieView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(120, 70);
  setAttribute(Qt::WA_OpaquePaintEvent);
  refreshTimer_.setInterval(33);
  connect(&refreshTimer_, &QTimer::timeout, this, [this] { refresh(); });
}

void MIMovieView::setMovie(std::shared_ptr<QKQTMovie> movie) {
  movie_ = std::move(movie);
  picture_ = {};
  serial_ = 0;
  if (movie_)
    refreshTimer_.start();
  else
    refreshTimer_.stop();
  update();
}

void MIMovieView::play() {
  if (movie_) movie_->movie().play();
}

void MIMovieView::pause() {
  if (movie_) movie_->movie().stop();
}

bool MIMovieView::refresh() {
  if (!movie_) return false;
  Movie& movie = movie_->movie();
  const auto frame = movie.frameForDisplayTime(movie.clock().nowNanos());
  if (!frame || frame->serial() == serial_) return false;
  serial_ = frame->serial();
  picture_ = frame->toImage();
  update();
  return true;
}

void MIMovieView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (picture_.isNull()) return;
  const QSize fitted = picture_.size().scaled(size(), Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                     fitted);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, picture_);
}

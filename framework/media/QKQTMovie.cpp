#include "framework/media/QKQTMovie.h"

#include "platform/foundation/Log.h"

std::shared_ptr<QKQTMovie> QKQTMovie::movieWithFile(const QString& path, QString* error,
                                                    const Movie::Options& options) {
  if (path.isNull()) {
    if (error) *error = QStringLiteral("Cannot open a movie: no path was given.");
    return nullptr;
  }
  std::shared_ptr<Movie> movie = Movie::openFile(path, error, options);
  return movie ? std::make_shared<QKQTMovie>(std::move(movie)) : nullptr;
}

std::shared_ptr<QKQTMovie> QKQTMovie::movieWithDataReference(const QByteArray& data, QString* error,
                                                             const Movie::Options& options) {
  std::shared_ptr<Movie> movie = Movie::openData(data, error, options);
  return movie ? std::make_shared<QKQTMovie>(std::move(movie)) : nullptr;
}

QKQTMovie::QKQTMovie(std::shared_ptr<Movie> movie) : movie_(std::move(movie)) {}

void QKQTMovie::lock() {
  std::unique_lock<std::mutex> guard(mutex_);
  if (held_ && holder_ == std::this_thread::get_id()) {
    Log::line(QStringLiteral("\t\terr: movie %1 locked twice by one thread").arg(movie_->path()));
    return;
  }
  released_.wait(guard, [this] { return !held_; });
  held_ = true;
  holder_ = std::this_thread::get_id();
}

void QKQTMovie::unlock() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!held_) {
      Log::line(QStringLiteral("\t\terr: movie %1 unlocked while not locked").arg(movie_->path()));
      return;
    }
    held_ = false;
    holder_ = {};
  }
  released_.notify_one();
}

bool QKQTMovie::tryLock() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (held_) return false;
  held_ = true;
  holder_ = std::this_thread::get_id();
  return true;
}

bool QKQTMovie::isLocked() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return held_;
}

void QKQTMovie::idle() {
  if (!tryLock()) return;
  movie_->idle();
  unlock();
}

std::shared_ptr<QKQTMovieSubscriber> QKQTMovie::subscriber() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return subscriber_.lock();
}

void QKQTMovie::setSubscriber(const std::shared_ptr<QKQTMovieSubscriber>& subscriber) {
  std::lock_guard<std::mutex> guard(mutex_);
  subscriber_ = subscriber;
}

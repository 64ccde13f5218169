#pragma once

#include "framework/media/QKQTMovieSubscriber.h"
#include "platform/movie/Movie.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// The movie object that every movie file holds and that a layer source
// plays: our movie with its idle lock and its subscriber (the source now
// playing it, not owned).
//
// The idle lock is an explicit state rather than a mutex held across
// main-loop passes: a movie is parked (locked) while no source plays it and
// while it is edited, and playing (unlocked) while a source plays it. The
// lock may be taken on one thread and given back on another (the file parks
// the movie on the main thread, the source's loading thread lets it play).
// `idle` never waits: on a locked movie it returns at once.
class QKQTMovie {
 public:
  // A null path or a movie that cannot be opened answers null (the reason in
  // `error` when asked).
  static std::shared_ptr<QKQTMovie> movieWithFile(const QString& path, QString* error = nullptr,
                                                 const Movie::Options& options = {});
  // A movie held in memory (a data reference); complete when it returns.
  static std::shared_ptr<QKQTMovie> movieWithDataReference(const QByteArray& data,
                                                          QString* error = nullptr,
                                                          const Movie::Options& options = {});
  explicit QKQTMovie(std::shared_ptr<Movie> movie);
  QKQTMovie(const QKQTMovie&) = delete;
  QKQTMovie& operator=(const QKQTMovie&) = delete;

  Movie& movie() const { return *movie_; }
  const std::shared_ptr<Movie>& sharedMovie() const { return movie_; }

  // Parks the movie (waits while someone else holds it). Locking it twice
  // from the same thread is refused with a log line instead of a deadlock.
  void lock();
  void unlock();
  bool tryLock();
  bool isLocked() const;

  // Passes the idle on to the movie unless the movie is locked.
  void idle();
  void setIdling(bool idling) { movie_->setIdling(idling); }

  std::shared_ptr<QKQTMovieSubscriber> subscriber() const;
  void setSubscriber(const std::shared_ptr<QKQTMovieSubscriber>& subscriber);
  void clearSubscriber() { setSubscriber(nullptr); }

 private:
  std::shared_ptr<Movie> movie_;
  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
  std::thread::id holder_;
  std::weak_ptr<QKQTMovieSubscriber> subscriber_;
};

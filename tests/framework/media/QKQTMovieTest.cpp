#include "framework/media/QKQTMovie.h"
#include "platform/foundation/Log.h"
#include "platform/movie/MovieClock.h"
#include "tests/support/TestClip.h"

#include <QFile>

#include <gtest/gtest.h>

#include <future>

namespace {
class Source : public QKQTMovieSubscriber {
 public:
  bool paused() const override { return paused_; }
  void setPausedMainThread(bool paused) override { paused_ = paused; }

 private:
  bool paused_ = false;
};

// A 10-frame clip on a hand-moved clock, played to its end so that its
// end-of-play notice waits for the next idle.
class QKQTMovieTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestClipSpec spec;
    spec.frames = 10;
    QString error;
    path = TestClip::create(spec, QStringLiteral("clip.mov"), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    Movie::Options options;
    options.clock = &clock;
    movie = QKQTMovie::movieWithFile(path, &error, options);
    ASSERT_TRUE(movie) << error.toStdString();
    movie->movie().setDidEndHandler([this] { ++ended; });
  }
  void playToTheEnd() {
    movie->movie().play();
    clock.advance(1.0);
    ASSERT_EQ(movie->movie().rate(), 0.0);
  }

  ManualMovieClock clock;
  QString path;
  std::shared_ptr<QKQTMovie> movie;
  int ended = 0;
};
}  // namespace

TEST_F(QKQTMovieTest, IdleOnAParkedMovieReturnsAtOnceAndDoesNotIdleIt) {
  playToTheEnd();
  movie->lock();  // parked, as its file keeps it
  // Even with the lock held by another thread, idle does not wait.
  auto idled = std::async(std::launch::async, [this] { movie->idle(); });
  ASSERT_EQ(idled.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  movie->idle();
  EXPECT_EQ(ended, 0);
  movie->unlock();  // playing
  movie->idle();
  EXPECT_EQ(ended, 1);
  EXPECT_FALSE(movie->isLocked());
}

TEST_F(QKQTMovieTest, ParkedOnOneThreadPlayingFromAnother) {
  movie->lock();
  auto released = std::async(std::launch::async, [this] { movie->unlock(); });
  released.get();
  EXPECT_FALSE(movie->isLocked());
  // A second locker waits for the holder, then gets the movie.
  movie->lock();
  auto waiter = std::async(std::launch::async, [this] {
    movie->lock();
    return true;
  });
  EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  movie->unlock();
  ASSERT_EQ(waiter.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(movie->isLocked());
}

TEST_F(QKQTMovieTest, MisusedLockIsLoggedNotDeadlocked) {
  QStringList lines;
  Log::setSink([&](const QString& line) { lines << line; });
  movie->unlock();
  movie->lock();
  movie->lock();
  Log::setSink({});
  EXPECT_EQ(lines.size(), 2);
  EXPECT_TRUE(movie->isLocked());
  EXPECT_FALSE(movie->tryLock());
}

TEST_F(QKQTMovieTest, SubscriberIsNotOwned) {
  EXPECT_FALSE(movie->subscriber());
  auto source = std::make_shared<Source>();
  movie->setSubscriber(source);
  EXPECT_EQ(movie->subscriber(), source);
  source.reset();
  EXPECT_FALSE(movie->subscriber());
}

TEST_F(QKQTMovieTest, OpeningFromAPathOrFromData) {
  EXPECT_FALSE(QKQTMovie::movieWithFile(QString()));
  QString error;
  EXPECT_FALSE(QKQTMovie::movieWithFile(path + QStringLiteral(".gone"), &error));
  EXPECT_FALSE(error.isEmpty());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  auto fromData = QKQTMovie::movieWithDataReference(f.readAll());
  ASSERT_TRUE(fromData);
  EXPECT_EQ(fromData->movie().frameCount(), 10);
  EXPECT_FALSE(fromData->isLocked());
}

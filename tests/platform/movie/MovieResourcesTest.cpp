#include "platform/movie/Movie.h"
#include "platform/movie/MovieAudioMixer.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/VideoDecoder.h"
#include "tests/support/Eventually.h"
#include "tests/support/TestMovie.h"
#include "tests/support/ThreadCensus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {
const QString kDecodeThread = QStringLiteral("movie decode");  // the worker and its codec's threads
const QString kSoundThread = QStringLiteral("movie sound");

// What a movie holds once it stands or is let go: frames, decoder and
// threads. A long-GOP clip on a hand-moved clock; the decoder's threads are
// named after the worker that starts them.
class MovieResources : public ::testing::Test {
 protected:
  void open(bool audio = false) {
    TestClipSpec spec;
    spec.frames = 60;
    spec.gop = TestClipSpec::Gop::Long;
    spec.audio = audio;
    Movie::Options options;
    options.decoderThreads = 2;
    movie = TestMovie::open(spec, &clock, options);
    ASSERT_TRUE(movie);
  }
  // Plays `frames` frames, each decoded, and stops half-way into the next.
  void playFrames(int frames) {
    movie->play();
    clock.advance(0.5 / 30.0);
    for (int k = 0; k < frames; ++k) {
      ASSERT_TRUE(movie->preroll(5.0));
      clock.advance(1.0 / 30.0);
    }
    movie->stop();
    ASSERT_TRUE(movie->preroll(5.0));
  }
  // The frame the render thread gets now; like it, the test tries again
  // while the decoder holds the store.
  int64_t shownIndex() {
    std::shared_ptr<const VideoFrame> frame;
    waitFor([&] { return (frame = movie->frameForDisplayTime(clock.nowNanos())) != nullptr; }, 1.0);
    return frame ? frame->index() : -1;
  }

  ManualMovieClock clock;
  std::shared_ptr<Movie> movie;
};
}  // namespace

TEST_F(MovieResources, AStandingMovieKeepsOnlyItsFrameAndNoThreadsUntilItPlays) {
  open();
  playFrames(20);
  EXPECT_FALSE(ThreadCensus::named(kDecodeThread).empty());
  EXPECT_GT(movie->frameStore().size(), 1u);
  const int64_t shown = shownIndex();
  ASSERT_EQ(shown, 20);
  EXPECT_EQ(TestClip::frameNumberIn(movie->posterImage()), 0);  // a decoder of its own
  EXPECT_EQ(VideoDecoder::liveCount(), 2);

  clock.advance(4.0);  // stood long enough
  EXPECT_TRUE(waitFor([&] { return ThreadCensus::named(kDecodeThread).empty(); }))
      << ThreadCensus::named(kDecodeThread).size() << " decode threads left";
  EXPECT_EQ(VideoDecoder::liveCount(), 0);
  EXPECT_EQ(movie->frameStore().size(), 1u);
  EXPECT_EQ(shownIndex(), shown);

  // Playing again brings the decoder back, from where it stood.
  movie->play();
  clock.advance(3.0 / 30.0);
  ASSERT_TRUE(movie->preroll(5.0));
  EXPECT_EQ(shownIndex(), 23);
  EXPECT_FALSE(ThreadCensus::named(kDecodeThread).empty());
}

TEST_F(MovieResources, AReleasedMovieLetsGoOfFramesDecoderAndThreadsAtOnce) {
  open(/*audio=*/true);
  MovieAudioMixer::shared().setOutputEnabled(false);
  playFrames(10);
  movie->play();  // playing while it is let go
  ASSERT_TRUE(waitFor([&] { return !ThreadCensus::named(kSoundThread).empty(); }));
  const std::shared_ptr<Movie> stillHeld = movie;  // as the render thread would

  movie->release();
  EXPECT_TRUE(waitFor([&] {
    return ThreadCensus::named(kDecodeThread).empty() && ThreadCensus::named(kSoundThread).empty();
  }));
  EXPECT_EQ(VideoDecoder::liveCount(), 0);
  EXPECT_EQ(movie->frameStore().size(), 0u);
  EXPECT_EQ(movie->frameForDisplayTime(clock.nowNanos()), nullptr);

  // Nothing brings it back.
  movie->setCurrentTime(QKTime{5, 30, 0});
  movie->play();
  clock.advance(0.5);
  EXPECT_FALSE(movie->preroll(0.2));
  EXPECT_TRUE(movie->frameImage(QKTime{5, 30, 0}).isNull());
  EXPECT_TRUE(ThreadCensus::named(kDecodeThread).empty());
  EXPECT_TRUE(ThreadCensus::named(kSoundThread).empty());
  EXPECT_EQ(movie->frameStore().size(), 0u);
}

// The sound thread of a movie that does not sound sleeps until a call
// wakes it: a stopped movie, or one whose sound nothing takes.
TEST_F(MovieResources, SilentSoundThreadSleepsUntilACall) {
  struct Case {
    const char* name;
    bool devicePulled;  // the test takes the mix (else: the device, when there is one)
    double rate;
  };
  const Case cases[] = {
      {"stopped", true, 0.0},
      {"playing with no device", false, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MovieAudioMixer::shared().setOutputEnabled(!c.devicePulled);
    open(/*audio=*/true);
    movie->play();
    std::vector<int> sound;
    ASSERT_TRUE(waitFor([&] { return !(sound = ThreadCensus::named(kSoundThread)).empty(); }));
    if (!c.devicePulled && MovieAudioMixer::shared().outputRunning())
      GTEST_SKIP() << "this machine has a sound device";
    movie->setRate(c.rate);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const int64_t before = ThreadCensus::sleeps(sound.front());
    for (int k = 0; k < 30; ++k) {  // 0.3 s, the movie's time running on
      clock.advance(0.01);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_LE(ThreadCensus::sleeps(sound.front()) - before, 2);
    movie.reset();
  }
}

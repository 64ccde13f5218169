#include "platform/movie/Movie.h"
#include "platform/movie/MovieAudioMixer.h"
#include "platform/movie/MovieClock.h"
#include "tests/support/Eventually.h"
#include "tests/support/TestMovie.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {
// The clip's sound: a 440 Hz sine at half scale on both channels. The mixer
// is pulled by the test, as the audio callback would; no sound card needed.
class MovieAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MovieAudioMixer::shared().setOutputEnabled(false);
    TestClipSpec spec;
    spec.frames = 90;
    spec.audio = true;
    movie = TestMovie::open(spec, &clock);
    ASSERT_TRUE(movie);
  }

  // Waits until the movie's sound has queued `frames` frames, then pulls
  // them. After a jump the first decoded piece may fill only part of a
  // buffer: pulling earlier would mix in silence.
  std::vector<float> pull(int frames) {
    std::vector<float> out(size_t(frames) * 2, 0.0f);
    EXPECT_TRUE(waitFor([&] { return MovieAudioMixer::shared().queuedFrames() >= frames; }));
    MovieAudioMixer::shared().pull(out.data(), frames);
    return out;
  }
  static double rms(const std::vector<float>& samples) {
    double sum = 0.0;
    for (float s : samples) sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
  }

  ManualMovieClock clock;
  std::shared_ptr<Movie> movie;
};
}  // namespace

TEST_F(MovieAudioTest, SoundFollowsThePlayHeadAtRateOne) {
  const double start = 1.25;
  movie->setCurrentTime(QKTime{125, 100, 0});
  movie->setVolume(0.5f);
  movie->play();
  const std::vector<float> out = pull(480);
  // The first samples are the sine at the play head, scaled by the volume.
  int matching = 0;
  for (int i = 0; i < 480; ++i) {
    const double expected = 0.25 * std::sin(2.0 * M_PI * 440.0 * (start + i / 48000.0));
    matching += std::abs(out[2 * i] - expected) < 0.02 && std::abs(out[2 * i + 1] - expected) < 0.02;
  }
  EXPECT_GT(matching, 470);
}

TEST_F(MovieAudioTest, SilentUnlessPlayingAtRateOneUnmutedAndUnscratched) {
  struct Case {
    const char* name;
    double rate;
    bool muted;
    bool scratching;
    float volume;
  };
  const Case cases[] = {
      {"double speed", 2.0, false, false, 1.0f},
      {"reverse", -1.0, false, false, 1.0f},
      {"half speed", 0.5, false, false, 1.0f},
      {"paused", 0.0, false, false, 1.0f},
      {"muted", 1.0, true, false, 1.0f},
      {"scratching", 1.0, false, true, 1.0f},
      {"volume zero", 1.0, false, false, 0.0f},
  };
  for (const Case& c : cases) {
    movie->setMuted(c.muted);
    movie->setScratching(c.scratching);
    movie->setVolume(c.volume);
    movie->setCurrentTime(QKTime{1, 1, 0});
    movie->setRate(c.rate);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    std::vector<float> out(4800 * 2, 0.0f);
    MovieAudioMixer::shared().pull(out.data(), 4800);
    MovieAudioMixer::shared().pull(out.data(), 4800);
    EXPECT_EQ(rms(out), 0.0) << c.name;
  }
  // And back to audible.
  movie->setMuted(false);
  movie->setScratching(false);
  movie->setVolume(1.0f);
  movie->setRate(1.0);
  EXPECT_NEAR(rms(pull(480)), 0.5 / std::sqrt(2.0), 0.05);
}

TEST_F(MovieAudioTest, PicturesPlayWithoutASoundDevice) {
  EXPECT_FALSE(MovieAudioMixer::shared().outputRunning());
  movie->setCurrentTime(QKTime{40, 30, 0});
  movie->play();
  clock.advance(0.5 / 30.0);
  ASSERT_TRUE(movie->preroll(5.0));
  EXPECT_EQ(TestClip::frameNumberIn(movie->frameImage(movie->currentTime())), 40);
}

#include "platform/movie/KeyframeIndex.h"
#include "platform/movie/Movie.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/MovieFrameReader.h"
#include "tests/support/Eventually.h"
#include "tests/support/TestMovie.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {
struct Kind {
  const char* name;
  TestClipSpec::Gop gop;
  bool bFrames;
  int width;
  int height;
};

const Kind kKinds[] = {
    {"all-intra 32x24", TestClipSpec::Gop::AllIntra, false, 32, 24},
    {"long GOP with B-frames 32x24", TestClipSpec::Gop::Long, true, 32, 24},
    {"long GOP without B-frames 64x48", TestClipSpec::Gop::Long, false, 64, 48},
    {"all-intra 640x360", TestClipSpec::Gop::AllIntra, false, 640, 360},
    {"long GOP 640x360", TestClipSpec::Gop::Long, true, 640, 360},
};

std::vector<int> shuffledFrames(int count, unsigned seed) {
  std::vector<int> order(count);
  for (int i = 0; i < count; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(seed));
  // Also the hard cases: backwards one by one across a key frame.
  for (int i = count - 1; i >= count - 15 && i >= 0; --i) order.push_back(i);
  return order;
}

std::shared_ptr<Movie> openClip(const Kind& kind, int frames, const Movie::Options& options = {}) {
  TestClipSpec spec;
  spec.width = kind.width;
  spec.height = kind.height;
  spec.frames = frames;
  spec.gop = kind.gop;
  spec.bFrames = kind.bFrames;
  spec.gopSize = 12;
  return TestMovie::open(spec, nullptr, options);
}
}  // namespace

TEST(MovieSeek, FrameImagesAreFrameExactInAnyOrder) {
  for (const Kind& kind : kKinds) {
    auto movie = openClip(kind, 40);
    ASSERT_TRUE(movie) << kind.name;
    for (int n : shuffledFrames(40, 7)) {
      // The middle of the frame and its very first time unit both show it.
      const QKTime start = movie->info().time(movie->info().frameStart(n));
      const QKTime middle{start.value + movie->frameDuration().value / 2, start.scale, 0};
      EXPECT_EQ(TestClip::frameNumberIn(movie->frameImage(middle)), n) << kind.name;
      EXPECT_EQ(TestClip::frameNumberIn(movie->frameImage(start)), n) << kind.name;
    }
  }
}

TEST(MovieSeek, KeyFramesAreLearnt) {
  auto movie = openClip(kKinds[1], 40);
  ASSERT_TRUE(movie);
  movie->frameImage(QKTime{39, 30, 0});
  movie->frameImage(QKTime{5, 30, 0});
  // Key frames every 12 frames: a seek to 30 starts from 24, not from 0.
  EXPECT_EQ(movie->keyframes()->atOrBefore(30), 24);
  EXPECT_EQ(movie->keyframes()->atOrBefore(11), 0);
}

TEST(MovieSeek, PlaybackFramesAreFrameExactAfterJumps) {
  ManualMovieClock clock;
  for (const Kind& kind : kKinds) {
    Movie::Options options;
    options.clock = &clock;
    auto movie = openClip(kind, 40, options);
    ASSERT_TRUE(movie) << kind.name;
    MovieFrameReader reader(movie);
    for (int n : shuffledFrames(40, 11)) {
      movie->setCurrentTime(movie->info().time(movie->info().frameStart(n)));
      ASSERT_TRUE(movie->preroll(5.0)) << kind.name;
      // The reader never waits for a busy store: try as the next display frame would.
      waitFor([&] {
        reader.update(clock.nowNanos());
        return reader.frame() && reader.frame()->index() == n;
      });
      ASSERT_TRUE(reader.frame());
      EXPECT_EQ(reader.frame()->index(), n) << kind.name;
      EXPECT_EQ(TestClip::frameNumberIn(reader.frame()->toImage()), n) << kind.name;
    }
  }
}

TEST(MovieSeek, RgbaFramesCarryThePicture) {
  ManualMovieClock clock;
  Movie::Options options;
  options.clock = &clock;
  options.frameFormat = VideoFrame::Format::Rgba;
  auto movie = openClip(kKinds[0], 20, options);
  ASSERT_TRUE(movie);
  movie->setCurrentTime(QKTime{13, 30, 0});
  ASSERT_TRUE(movie->preroll(5.0));
  std::shared_ptr<const VideoFrame> frame;
  waitFor([&] { return (frame = movie->frameForDisplayTime(clock.nowNanos())) != nullptr; });
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->format(), VideoFrame::Format::Rgba);
  EXPECT_EQ(TestClip::frameNumberIn(frame->plane(0), frame->width(), frame->height(), frame->stride(0)), 13);
}

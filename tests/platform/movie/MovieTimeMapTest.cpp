// The time warp as a map from playing time to movie time, and a warped
// movie playing through it.
#include "platform/movie/Movie.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/MovieTimeMap.h"
#include "tests/support/TestClip.h"

#include <gtest/gtest.h>

namespace {
using Point = MovieTimeMap::Point;

// Stretches of 100 units: 0..10 played in 25, 10..60 in 25, 60..100 in 50.
MovieTimeMap warpedMap() { return MovieTimeMap({{0, 0}, {25, 10}, {50, 60}, {100, 100}}); }
}  // namespace

TEST(MovieTimeMap, LooksUpOriginalAndWarpedTimesAlongTheLine) {
  const MovieTimeMap map = warpedMap();
  const std::pair<int64_t, int64_t> originalAt[] = {
      {-5, 0}, {0, 0}, {10, 4}, {25, 10}, {30, 20}, {50, 60}, {75, 80}, {100, 100}, {130, 100}};
  for (const auto& [warped, original] : originalAt)
    EXPECT_EQ(map.originalAt(warped), original) << "warped " << warped;
  const std::pair<int64_t, int64_t> warpedAt[] = {{0, 0},   {4, 10},  {10, 25},
                                                  {20, 30}, {80, 75}, {100, 100}};
  for (const auto& [original, warped] : warpedAt)
    EXPECT_EQ(map.warpedAt(original), warped) << "original " << original;
  EXPECT_EQ(map.warpedDuration(), 100);
  EXPECT_FALSE(map.isIdentity());
  EXPECT_TRUE(MovieTimeMap::identity(100).isIdentity());
}

TEST(MovieTimeMap, ZeroLengthStretchesSkipOrHold) {
  // Warped 20..20 jumps from movie time 20 to 60; warped 40..70 holds 80.
  const MovieTimeMap map({{0, 0}, {20, 20}, {20, 60}, {40, 80}, {70, 80}, {90, 100}});
  EXPECT_EQ(map.originalAt(19), 19);
  EXPECT_EQ(map.originalAt(20), 60) << "a jump shows what follows it";
  EXPECT_EQ(map.originalAt(55), 80) << "a hold keeps its frame";
  EXPECT_EQ(map.originalAt(80), 90);
  EXPECT_EQ(map.warpedAt(40), 20) << "a skipped time maps to the skip";
  EXPECT_EQ(map.warpedAt(80), 40) << "a held time maps to the start of the hold";
}

TEST(MovieTimeMap, ScalingAStretchMovesWhatFollows) {
  struct Case {
    const char* name;
    int64_t start, length, newLength;
    std::vector<Point> expected;
  };
  const Case cases[] = {
      {"stretch the middle", 10, 50, 100, {{0, 0}, {10, 10}, {110, 60}, {150, 100}}},
      {"squeeze to nothing", 10, 50, 0, {{0, 0}, {10, 10}, {10, 60}, {50, 100}}},
      {"an empty stretch becomes a hold", 30, 0, 20, {{0, 0}, {30, 30}, {50, 30}, {120, 100}}},
      {"a hold at the very end", 100, 0, 10, {{0, 0}, {100, 100}, {110, 100}}},
      {"a negative length counts as zero", 10, 50, -7, {{0, 0}, {10, 10}, {10, 60}, {50, 100}}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MovieTimeMap::identity(100).scaled(c.start, c.length, c.newLength).points(),
              c.expected)
        << c.name;
}

TEST(MovieTimeMap, ScalingFromTheLastStretchToTheFirstBuildsTheWarp) {
  const MovieTimeMap map =
      MovieTimeMap::identity(100).scaled(60, 40, 50).scaled(10, 50, 25).scaled(0, 10, 25);
  EXPECT_EQ(map.points(), warpedMap().points());
}

TEST(MovieTimeMap, AWarpedMoviePlaysAndStepsThroughTheMap) {
  TestClipSpec spec;
  spec.frames = 30;  // 1 s at 30 fps
  QString error;
  const QString path = TestClip::create(spec, QStringLiteral("clip.mov"), &error);
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  ManualMovieClock clock;
  Movie::Options options;
  options.clock = &clock;
  auto movie = Movie::openFile(path, &error, options);
  ASSERT_TRUE(movie) << error.toStdString();
  const int64_t d = movie->duration().value;
  const int32_t scale = movie->timeScale();
  // The first half of the movie plays in a quarter of the time.
  movie->setTimeMap(
      std::make_shared<const MovieTimeMap>(std::vector<Point>{{0, 0}, {d / 4, d / 2}, {d, d}}));
  EXPECT_EQ(movie->duration().value, d) << "a warp keeps the movie's length";

  movie->setCurrentTime(QKTime{d / 8, scale, 0});
  EXPECT_EQ(movie->frameIndexAt(clock.nowNanos()), 7) << "an eighth in plays a quarter in";
  ASSERT_TRUE(movie->preroll(5.0));
  EXPECT_EQ(TestClip::frameNumberIn(movie->frameImage(QKTime{d / 8, scale, 0})), 7);

  movie->setCurrentTime(QKTime{d / 4, scale, 0});
  movie->stepForward();
  EXPECT_EQ(movie->frameIndexAt(clock.nowNanos()), 16);
  movie->stepBackward();
  movie->stepBackward();
  EXPECT_EQ(movie->frameIndexAt(clock.nowNanos()), 14);

  movie->setTimeMap(nullptr);
  movie->setCurrentTime(QKTime{d / 8, scale, 0});
  EXPECT_LE(movie->frameIndexAt(clock.nowNanos()), 4) << "without the map the movie plays as made";
}

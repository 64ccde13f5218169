// Warp markers on a movie of 100 time units: adding on the warp line, the
// rebuild into stretches, un-warping and moving a marker.
#include "framework/media/WarpMarkerList.h"
#include "platform/foundation/Log.h"

#include <gtest/gtest.h>

namespace {
using Point = MovieTimeMap::Point;
const QKTime kDuration{100, 600, 0};

QKTime at(int64_t value) { return QKTime{value, 600, 0}; }

std::shared_ptr<QKWarpMarker> marker(int64_t original, float beat) {
  auto m = std::make_shared<QKWarpMarker>(at(original), beat);
  m->setWarpTime(at(original));
  return m;
}

class QuietLog {
 public:
  QuietLog() {
    previous_ = Log::setSink([](const QString&) {});
  }
  ~QuietLog() { Log::setSink(previous_); }

 private:
  Log::Sink previous_;
};
}  // namespace

TEST(WarpMarkerList, AMarkerAddedOnTheLineTakesItsPlaceOnIt) {
  WarpMarkerList list;
  auto middle = list.addAtTime(at(50), kDuration);
  ASSERT_TRUE(middle);
  EXPECT_FLOAT_EQ(middle->beatPosition(), 0.5f);
  EXPECT_EQ(middle->warpTime().value, 50);
  EXPECT_EQ(middle->warpTime().scale, 600);

  auto early = list.addAtTime(at(20), kDuration);
  ASSERT_TRUE(early);
  EXPECT_FLOAT_EQ(early->beatPosition(), 0.2f);
  ASSERT_EQ(list.markers().size(), 2u);
  EXPECT_EQ(list.markers()[0], early) << "kept in time order";
}

TEST(WarpMarkerList, TimesThatAreTakenOrOutsideTheMovieAddNothing) {
  QuietLog quiet;
  WarpMarkerList list;
  ASSERT_TRUE(list.addAtTime(at(40), kDuration));
  for (int64_t t : {40, 0, -5, 150}) EXPECT_FALSE(list.addAtTime(at(t), kDuration)) << t;
  EXPECT_FALSE(list.addAtWarpedTime(at(40), kDuration));
  EXPECT_EQ(list.markers().size(), 1u);

  WarpMarkerList empty;
  EXPECT_FALSE(empty.addAtTime(at(0), QKTime{0, 600, 0})) << "a movie of no length";
  EXPECT_FALSE(empty.addAtWarpedTime(at(0), QKTime{0, 600, 0}));
  EXPECT_TRUE(empty.markers().empty());
}

TEST(WarpMarkerList, TheEndsOfTheMovieTakeAMarkerOnlyWhileFree) {
  WarpMarkerList list;
  auto start = list.addAtTime(at(0), kDuration);
  ASSERT_TRUE(start) << "a chapter at the start pins the start";
  EXPECT_FLOAT_EQ(start->beatPosition(), 0.0f);
  auto end = list.addAtTime(at(100), kDuration);
  ASSERT_TRUE(end);
  EXPECT_FLOAT_EQ(end->beatPosition(), 1.0f);
  EXPECT_EQ(end->warpTime().value, 100);
  EXPECT_FALSE(list.addAtTime(at(100), kDuration));
  bool warped = true;
  list.rebuild(kDuration, &warped);
  EXPECT_FALSE(warped);
}

TEST(WarpMarkerList, TimesInAnotherScaleAreCarriedIntoTheDurationsScale) {
  WarpMarkerList list;
  auto m = list.addAtTime(QKTime{1, 12, 0}, kDuration);  // 1/12 s = 50 units of 1/600
  ASSERT_TRUE(m);
  EXPECT_EQ(m->originalTime().value, 50);
  EXPECT_EQ(m->originalTime().scale, 600);
}

TEST(WarpMarkerList, RebuildPlaysEachStretchAtItsShareOfTheBeatGrid) {
  struct Case {
    const char* name;
    std::vector<std::pair<int64_t, float>> markers;  // original time, beat position
    std::vector<int64_t> warpTimes;
    std::vector<Point> map;
    bool warped;
  };
  const Case cases[] = {
      {"two markers: 25 / 25 / 50",
       {{10, 0.25f}, {60, 0.5f}},
       {25, 50},
       {{0, 0}, {25, 10}, {50, 60}, {100, 100}},
       true},
      {"one marker where it already lies",
       {{50, 0.5f}},
       {50},
       {{0, 0}, {50, 50}, {100, 100}},
       false},
      {"a marker pinned later on the grid",
       {{20, 0.5f}},
       {50},
       {{0, 0}, {50, 20}, {100, 100}},
       true},
      {"a marker at the end holds the last frame",
       {{100, 0.75f}},
       {75},
       {{0, 0}, {75, 100}, {100, 100}},
       true},
      {"a marker at the start holds the first frame",
       {{0, 0.25f}},
       {25},
       {{0, 0}, {25, 0}, {100, 100}},
       true},
      {"two markers on one time hold its frame between them",
       {{40, 0.25f}, {40, 0.5f}},
       {25, 50},
       {{0, 0}, {25, 40}, {50, 40}, {100, 100}},
       true},
  };
  for (const Case& c : cases) {
    WarpMarkerList list;
    std::vector<std::shared_ptr<QKWarpMarker>> markers;
    for (const auto& [original, beat] : c.markers) markers.push_back(marker(original, beat));
    list.setMarkers(markers);
    bool warped = !c.warped;
    const MovieTimeMap map = list.rebuild(kDuration, &warped);
    EXPECT_EQ(warped, c.warped) << c.name;
    EXPECT_EQ(map.points(), c.map) << c.name;
    EXPECT_EQ(map.warpedDuration(), 100) << c.name << ": the movie keeps its length";
    for (std::size_t i = 0; i < c.warpTimes.size(); ++i)
      EXPECT_EQ(list.markers()[i]->warpTime().value, c.warpTimes[i]) << c.name << " marker " << i;
  }
}

TEST(WarpMarkerList, RestoredMarkersAreSortedAndTheLastOfATimeIsFound) {
  WarpMarkerList list;
  auto late = marker(70, 0.7f);
  auto first = marker(30, 0.3f);
  auto second = marker(30, 0.4f);
  list.setMarkers({late, first, nullptr, second});
  ASSERT_EQ(list.markers().size(), 3u);
  EXPECT_EQ(list.markers()[0], first);
  EXPECT_EQ(list.markers()[1], second);
  EXPECT_EQ(list.markers()[2], late);
  EXPECT_EQ(list.lastWithOriginalTime(at(30), kDuration), second);
  EXPECT_FALSE(list.lastWithOriginalTime(at(31), kDuration));
}

TEST(WarpMarkerList, WarpedMarkersAddOnTheWarpedLine) {
  WarpMarkerList list;
  list.setMarkers({marker(10, 0.25f), marker(60, 0.5f)});
  list.rebuild(kDuration, nullptr);
  auto pinned = list.addAtWarpedTime(at(30), kDuration);
  ASSERT_TRUE(pinned);
  EXPECT_EQ(pinned->originalTime().value, 20);
  EXPECT_FLOAT_EQ(pinned->beatPosition(), 0.3f);
  EXPECT_EQ(list.indexOf(pinned), 1);
  auto byOriginal = list.addAtTime(at(80), kDuration);
  ASSERT_TRUE(byOriginal);
  EXPECT_EQ(byOriginal->warpTime().value, 75);
}

TEST(WarpMarkerList, UnwarpPutsEveryMarkerBackOnItsOwnTime) {
  WarpMarkerList list;
  list.setMarkers({marker(10, 0.25f), marker(60, 0.5f)});
  list.rebuild(kDuration, nullptr);
  list.unwarp(kDuration);
  for (const auto& m : list.markers()) {
    EXPECT_EQ(m->warpTime(), m->originalTime());
    EXPECT_FLOAT_EQ(m->beatPosition(), float(m->originalTime().value) / 100.0f);
  }
  list.unwarp(QKTime{0, 600, 0});
  EXPECT_FLOAT_EQ(list.markers()[0]->beatPosition(), 0.0f) << "no division by a zero length";
}

TEST(WarpMarkerList, AMovedMarkerRescalesTheStretchesOnBothSides) {
  WarpMarkerList list;
  list.setMarkers({marker(10, 0.25f), marker(60, 0.5f)});
  const MovieTimeMap rebuilt = list.rebuild(kDuration, nullptr);
  const auto moving = list.markers()[1];
  moving->setBeatPosition(0.75f);
  const MovieTimeMap map = list.moved(moving, kDuration, rebuilt);
  EXPECT_EQ(moving->warpTime().value, 75);
  EXPECT_EQ(map.points(), (std::vector<Point>{{0, 0}, {25, 10}, {75, 60}, {100, 100}}));
  EXPECT_EQ(list.moved(std::make_shared<QKWarpMarker>(), kDuration, map).points(), map.points())
      << "a marker that is not in the list changes nothing";
}

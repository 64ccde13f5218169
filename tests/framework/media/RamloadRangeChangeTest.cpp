#include "framework/media/RamloadRangeChange.h"

#include <gtest/gtest.h>

namespace {
QKTimeRange r(int64_t start, int64_t duration) {
  return QKTimeRange{QKTime{start, 600, 0}, QKTime{duration, 600, 0}};
}

std::vector<std::pair<int64_t, int64_t>> spans(const std::vector<QKTimeRange>& ranges) {
  std::vector<std::pair<int64_t, int64_t>> out;
  for (const QKTimeRange& range : ranges) out.emplace_back(range.start.value, range.duration.value);
  return out;
}
}  // namespace

TEST(RamloadRangeChange, FlushesWhatTheNewRangeLeavesAndLoadsTheNewRange) {
  struct Case {
    const char* name;
    QKTimeRange old, wanted;
    std::vector<std::pair<int64_t, int64_t>> flushed;
    bool load;
    std::pair<int64_t, int64_t> kept;
  };
  const Case cases[] = {
      {"moved forward over its end", r(0, 100), r(50, 100), {{0, 50}}, true, {50, 50}},
      {"moved away", r(0, 100), r(200, 100), {{0, 100}}, true, {0, 0}},
      {"moved back over its start", r(50, 100), r(0, 100), {{100, 50}}, true, {50, 50}},
      {"shrunk on both sides", r(0, 100), r(25, 50), {{0, 25}, {75, 25}}, true, {25, 50}},
      {"grown", r(25, 50), r(0, 100), {}, true, {25, 50}},
      {"emptied", r(0, 100), r(0, 0), {{0, 100}}, false, {0, 0}},
      {"from nothing", r(0, 0), r(0, 10), {}, true, {0, 0}},
      {"the same", r(0, 100), r(0, 100), {}, false, {0, 100}},
      {"touching ends do not overlap", r(0, 100), r(100, 50), {{0, 100}}, true, {0, 0}},
  };
  for (const Case& c : cases) {
    const RamloadRangeChange change = RamloadRangeChange::between(c.old, c.wanted);
    EXPECT_EQ(spans(change.flush), c.flushed) << c.name;
    EXPECT_EQ(change.load, c.load) << c.name;
    EXPECT_EQ(std::make_pair(change.kept.start.value, change.kept.duration.value), c.kept)
        << c.name;
  }
}

TEST(RamloadRangeChange, RangesCompareByTheirTimeValues) {
  EXPECT_TRUE(RamloadRangeChange::sameRange(r(0, 10), QKTimeRange{{0, 0, 0}, {10, 1, 0}}));
  EXPECT_FALSE(RamloadRangeChange::sameRange(r(0, 10), r(1, 10)));
}

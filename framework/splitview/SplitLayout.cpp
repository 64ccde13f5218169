#include "framework/splitview/SplitLayout.h"

#include <cmath>
#include <optional>

namespace {

// The record given the pane's minimum when no pane is open, and the whole
// dimension when the panes sum to nothing: the first visible pane.
constexpr int kChosen = 0;
constexpr int kPasses = 3;

}  // namespace

SplitLayout::Result SplitLayout::run(std::vector<SplitPane>& panes, const Params& params) {
  Result result;
  std::vector<Record> records;
  for (int i = 0; i < static_cast<int>(panes.size()); ++i)
    if (!panes[i].hidden)
      records.push_back({i, panes[i].visibleDimension(), panes[i].fraction, false});
  if (records.empty() || params.dimension < 1.0f || params.crossDimension < 1.0f) return result;
  result.ran = true;

  const int count = static_cast<int>(records.size());
  const double dividers = (count - 1) * static_cast<double>(params.thickness);
  double dimension = params.dimension;
  double total = 0.0;
  const int passes = params.exempt >= 0 ? 2 * kPasses : kPasses;
  for (int pass = 0; pass < passes; ++pass) {
    const int exempt = pass < kPasses ? params.exempt : -1;
    double sum = 0.0;
    bool anyOpen = false;
    for (Record& r : records) {
      r.constrained = false;
      if (r.size > 0.0f) {
        sum += r.size + (params.inScrollView ? 0.0 : r.fraction);
        anyOpen = true;
      }
    }
    Record& chosen = records[kChosen];
    if (!anyOpen) {
      chosen.size = panes[chosen.pane].minDimension;
      chosen.fraction = 0.0;
      sum += chosen.size;
    }
    if (params.inScrollView) {
      dimension = sum + dividers;
      break;
    }
    const double available = dimension - dividers;
    if (sum < 1.0) {
      chosen.size = static_cast<float>(available);
      chosen.fraction = 0.0;
      sum = available;
    }
    total = available;
    double shared = share(records, panes, available, sum, exempt);
    const double difference = shared - total;
    if (difference > -1.0 && difference < 1.0) break;
    if (difference <= -1.0) {
      // Room left over: collapsed panes come back at their minimum.
      for (Record& r : records) {
        if (r.size > 0.0f) continue;
        r.size = panes[r.pane].minDimension;
        r.fraction = 0.0;
        shared += r.size;
        if (shared - total > -1.0) break;
      }
      continue;
    }
    // Too little room: panes held at a limit collapse, in order.
    for (Record& r : records) {
      const SplitPane& pane = panes[r.pane];
      if (!r.constrained || r.pane == exempt || pane.animating || !pane.canCollapse) continue;
      shared -= r.size;
      if (shared < 1.0) break;
      r.size = 0.0f;
      if (shared - total < 1.0) break;
    }
  }

  // Placement, along the axis from 0.
  float origin = 0.0f;
  int lastOpen = -1;
  std::vector<float> origins;
  for (int k = 0; k < count; ++k) {
    Record& r = records[k];
    if (params.clearFractions && r.size > 0.0f) r.fraction = 0.0;
    origins.push_back(origin);
    origin += r.size;
    if (r.size > 0.0f) lastOpen = k;
    if (k + 1 < count) {
      result.dividers.push_back(origin);
      origin += params.thickness;
    }
  }
  const float leftover = static_cast<float>(dimension) - origin;
  if (lastOpen >= 0 && leftover != 0.0f) {
    records[lastOpen].size += leftover;
    records[lastOpen].fraction -= leftover;
    for (int d = lastOpen; d < static_cast<int>(result.dividers.size()); ++d)
      result.dividers[d] += leftover;
  }
  for (int k = 0; k < count; ++k) hand(panes[records[k].pane], records[k], origins[k], total);
  result.total = total;
  result.dimension = static_cast<float>(dimension);
  return result;
}

// One sharing of `available` among the open records, repeated while a round
// holds some record at a limit. Answers the total of sizes and fractions.
double SplitLayout::share(std::vector<Record>& records, const std::vector<SplitPane>& panes,
                          double available, double sum, int exempt) {
  double shared = 0.0;
  bool constrainedInRound = true;
  while (constrainedInRound && sum > 0.0) {
    constrainedInRound = false;
    const double scale = available / sum;
    sum = 0.0;
    shared = 0.0;
    for (Record& r : records) {
      if (r.size <= 0.0f) continue;
      if (!r.constrained) {
        const SplitPane& pane = panes[r.pane];
        const double wanted = (r.fraction + r.size) * scale;
        std::optional<float> limit;
        if (pane.animating && r.size >= 0.0f)
          limit = r.size;
        else if (r.pane == exempt && pane.size > 0.0f)
          limit = pane.size;
        else if (wanted < pane.minDimension)
          limit = pane.minDimension;
        else if (wanted > pane.maxDimension)
          limit = pane.maxDimension;
        if (limit) {
          r.constrained = true;
          r.size = *limit;
          r.fraction = 0.0;
          available -= *limit;
          constrainedInRound = true;
        } else {
          double remainder = std::fmod(wanted, 1.0);
          double rounded = wanted - remainder;
          if (remainder > 0.5) {
            rounded += 1.0;
            remainder -= 1.0;
          }
          sum += rounded;
          r.size = static_cast<float>(rounded);
          r.fraction = remainder;
        }
      }
      shared += r.size + r.fraction;
    }
  }
  return shared;
}

// The hand-over of a record to its pane: a pane whose size crosses 1.0
// collapses (keeping its share of the total) or re-opens.
void SplitLayout::hand(SplitPane& pane, const Record& record, float origin, double total) {
  const bool open = record.size >= 1.0f;
  const bool wasOpen = pane.size >= 1.0f;
  double fraction = record.fraction;
  if (open && !wasOpen) {
    pane.change = SplitPane::Change::Expanded;
  } else if (!open && wasOpen) {
    pane.change = SplitPane::Change::Collapsed;
    fraction = total > 0.0 ? pane.size / total : 0.0;
  }
  pane.origin = origin;
  pane.size = record.size;
  pane.fraction = fraction;
}

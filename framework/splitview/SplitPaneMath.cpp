#include "framework/splitview/SplitPaneMath.h"

#include <algorithm>
#include <cmath>

bool SplitPaneMath::setLimits(SplitPane& pane, float minDimension, float maxDimension,
                              double whole) {
  float low = std::floor(minDimension);
  if (!(low >= 1.0f)) low = 1.0f;  // also a NaN
  float high = maxDimension >= 1.0f ? std::floor(maxDimension) : kUnlimited;
  high = std::max(high, low);
  pane.minDimension = low;
  pane.maxDimension = high;
  const float d = dimension(pane, whole);
  return d < low || d > high;
}

float SplitPaneMath::dimension(const SplitPane& pane, double whole) {
  if (pane.size > 0.0f) return pane.size;
  const float share = static_cast<float>(pane.fraction * whole);
  return std::clamp(share, pane.minDimension, pane.maxDimension);
}

float SplitPaneMath::collapse(SplitPane& pane, double whole) {
  if (pane.isCollapsed() || !pane.canCollapse) return 0.0f;
  const float d = dimension(pane, whole);
  pane.size = 0.0f;
  pane.fraction = whole > 0.0 ? d / whole : 0.0;
  pane.change = SplitPane::Change::Collapsed;
  pane.frameChanged = true;
  return -d;
}

float SplitPaneMath::expand(SplitPane& pane, double whole, bool toMinimum) {
  if (!pane.isCollapsed()) return 0.0f;
  float expected;
  if (toMinimum) {
    pane.size = pane.minDimension;
    expected = pane.minDimension;
  } else {
    const double f = pane.fraction;
    const double s = whole * f;
    pane.size = static_cast<float>(f >= 1.0 ? std::floor(s) : std::floor(s / (1.0 - f)));
    expected = static_cast<float>(std::floor(s));
  }
  pane.fraction = 0.0;
  pane.change = SplitPane::Change::Expanded;
  pane.frameChanged = true;
  return expected;
}

float SplitPaneMath::changeDimension(SplitPane& pane, float increment, bool mayCollapse, bool move,
                                     double whole) {
  if (!(std::fabs(increment) >= 1.0f)) return 0.0f;
  const float old = pane.size;
  float wanted = std::max(old + increment, 0.0f);
  if (wanted > old) {
    if (old < 1.0f) {
      if (!(wanted > kOpenShare * pane.minDimension)) return 0.0f;
      wanted = std::max(wanted, expand(pane, whole, true));
    }
    wanted = std::min(wanted, pane.maxDimension);
  } else if (wanted < pane.minDimension) {
    if (mayCollapse && pane.canCollapse &&
        wanted < std::max(kCollapseShare * pane.minDimension, 1.0f))
      return collapse(pane, whole);
    wanted = pane.minDimension;
  }
  if (std::trunc(wanted) != std::trunc(old)) {
    pane.size = wanted;
    if (move) pane.origin -= wanted - old;
    pane.frameChanged = true;
  }
  return wanted - old;
}

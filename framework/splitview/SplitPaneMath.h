#pragma once

#include "framework/splitview/SplitPane.h"

// The arithmetic of one pane: its limits, the size it would expand to,
// collapse and expand, and the size step a divider drag makes. `whole` is
// always the split view's dimension without dividers.
class SplitPaneMath {
 public:
  static constexpr float kUnlimited = 1e6f;
  // A collapsed pane opens when grown past this share of its minimum …
  static constexpr float kOpenShare = 0.55f;
  // … and an open one collapses when shrunk below this share.
  static constexpr float kCollapseShare = 0.45f;

  // min = max(1, floor(min)); max = floor(max), or unlimited when below 1 or
  // not a number; max ≥ min. Answers whether the pane's dimension now lies
  // outside its limits (the split view must lay out again).
  static bool setLimits(SplitPane& pane, float minDimension, float maxDimension, double whole);

  // The visible dimension of an open pane; for a collapsed one the size it
  // would expand to: fraction × whole, clamped into the limits.
  static float dimension(const SplitPane& pane, double whole);

  // Collapses an open pane that can collapse; its fraction becomes its share
  // of the whole. Answers minus its former dimension, 0 when nothing happened.
  static float collapse(SplitPane& pane, double whole);

  // Opens a collapsed pane: at its minimum, or at the size that lands it on
  // its stored share once the others are scaled back. Answers the dimension
  // it is expected to reach, 0 when nothing happened.
  static float expand(SplitPane& pane, double whole, bool toMinimum);

  // The size step of a divider drag (`move`: the pane's leading edge follows
  // the divider). Answers the change actually made.
  static float changeDimension(SplitPane& pane, float increment, bool mayCollapse, bool move,
                               double whole);
};

#pragma once

// One pane of a split view as the layout engine sees it: everything measured
// along the split view's axis (the width of a pane in a side-by-side split
// view, the height in a stacked one). Sizes are 32-bit like the frames they
// come from; the fractional remainder the layout keeps across resizes is
// 64-bit. A size of 0 or less is a collapsed pane.
struct SplitPane {
  enum class Change { None, Collapsed, Expanded };

  float minDimension = 1.0f;
  float maxDimension = 1e6f;
  double fraction = 0.0;
  float size = 0.0f;    // the frame's dimension along the axis
  float origin = 0.0f;  // the frame's origin along the axis (top-down)
  bool canCollapse = false;
  bool hidden = false;
  bool animating = false;  // this pane owns the running animation

  // Set by the engine's operations for the owner to act on; reset by the owner.
  Change change = Change::None;
  bool frameChanged = false;  // size or origin moved: the split view lays out again

  float visibleDimension() const { return size > 0.0f ? size : 0.0f; }
  bool isCollapsed() const { return size <= 0.0f; }
};

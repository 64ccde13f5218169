#pragma once

#include "framework/splitview/SplitPane.h"

#include <functional>
#include <optional>
#include <vector>

// The moves of a divider, without widgets, on the visible panes of a split
// view (indexes into `panes`; -1 is no pane). A drag step shortens the pane
// on the side the divider moves to — or, past a pane that cannot shrink, the
// nearest one beyond it that can — and grows the other side; collapsed panes
// open and open ones collapse at their thresholds. Instead of the neighbour,
// the window (or the document view of a scroll view) may grow or shrink.
class SplitDrag {
 public:
  struct Context {
    double whole = 0.0;  // the split view's dimension without dividers
    bool inScrollView = false;
    // Whether the window resizes for this divider instead of the neighbour,
    // the room it has to grow or shrink along the axis, and the change.
    std::function<bool(int divider, bool grow)> shouldResizeWindow;
    std::function<float(bool grow)> windowRoom;
    std::function<void(float change)> resizeWindow;
  };

  SplitDrag(std::vector<SplitPane>& panes, Context context);

  // One step of a drag of `divider` by `delta` along the axis.
  void track(int divider, float delta);
  // A double click: collapses one of the two panes or re-opens a collapsed
  // one. `collapseLeading` is the delegate's pick when both can collapse.
  void doubleClick(int divider, std::optional<bool> collapseLeading);

  void shortenLeading(int shrinking, int divider, int trailing, float delta, bool always);
  void shortenTrailing(int shrinking, int divider, int leading, float delta, bool always);
  void expandLeading(int leading, int divider, int trailing, float delta);
  void expandTrailing(int trailing, int leading, float delta);

  // Whether some pane moved, so the split view lays out again.
  bool layoutPending() const;

 private:
  float dimension(int pane) const;
  float change(int pane, float delta, bool mayCollapse, bool move);
  bool canShrink(int pane) const;
  bool resizes(int divider, bool grow) const;
  float room(bool grow) const;
  void resizeWindow(float change);

  std::vector<SplitPane>& panes_;
  Context context_;
};

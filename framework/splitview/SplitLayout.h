#pragma once

#include "framework/splitview/SplitPane.h"

#include <vector>

// The layout pass of a split view, without widgets: distributes the split
// view's dimension among its visible panes (hidden ones take no space and no
// divider), keeping each pane's share — its size plus the fractional
// remainder — across resizes. Panes held at a limit are taken out and the
// rest scaled again; when they cannot fit, collapsible panes held at their
// limits collapse in order; when they cannot fill it, collapsed panes come
// back at their minimum; what is left over goes to the last open pane.
class SplitLayout {
 public:
  struct Params {
    float dimension = 0.0f;       // the split view's bounds along its axis
    float crossDimension = 0.0f;  // and across it
    float thickness = 0.0f;       // of one divider
    bool inScrollView = false;    // the panes keep their sizes; the view follows them
    int exempt = -1;              // a pane (index among all) whose dimension is kept
    bool clearFractions = false;
  };
  struct Result {
    bool ran = false;
    double total = 0.0;           // the dimension the panes shared
    float dimension = 0.0f;       // the split view's dimension after the pass
    std::vector<float> dividers;  // origin of each divider between visible panes
  };

  // Lays the panes out in place: each visible pane gets its origin, size and
  // fraction, and `change` tells which collapsed or re-opened.
  static Result run(std::vector<SplitPane>& panes, const Params& params);

 private:
  struct Record {
    int pane;
    float size;
    double fraction;
    bool constrained;
  };
  static double share(std::vector<Record>& records, const std::vector<SplitPane>& panes,
                      double available, double sum, int exempt);
  static void hand(SplitPane& pane, const Record& record, float origin, double total);
};

#pragma once

#include <QRectF>

// A plug-in whose window the Window menu's "Gather Outputs" brings back to a
// given frame (the aux displays).
class GatherablePlugin {
 public:
  virtual ~GatherablePlugin() = default;
  // `frame` in bottom-left screen coordinates.
  virtual void gatherToWindowLocation(const QRectF& frame) = 0;
};

#pragma once

#include <QPointF>

struct PalettePaths;

// What a mouse-down on a palette starts, from where it landed (bottom-left
// view coordinates), the palette's state and the interface lock.
class PaletteHitTest {
 public:
  enum DragAction { None = -1, Move = 0, CollapseToggle = 1, Resize = 2 };

  struct Input {
    QPointF point;
    double width = 0;  // of the palette's current frame
    bool collapsed = false;
    bool allowResize = true;
    bool locked = false;       // no moving, no resizing
    bool fullyLocked = false;  // and no collapse toggle
    int clickCount = 1;
  };

  // Border clicks within this distance of the left, right or bottom edge move
  // the palette.
  static constexpr double kBorderWidth = 5.0;

  static DragAction dragActionFor(const Input& input, const PalettePaths& paths);
};

#pragma once

#include "framework/curves/CurveCursor.h"

#include <QCursor>

// The QCursor of each cursor choice: the system's crosshair, arrow, open
// and closed hands and vertical resize, and our two images
// (resources/images/removeHandleCursor.xpm, showControlPointCursor.xpm,
// hot spot (8, 8); the crosshair stands in for a missing image). Main
// thread.
class CurveCursors {
 public:
  static QCursor cursorFor(CurveCursor cursor);
};

#pragma once

// The cursor the curve's editing protocol chooses; the views map it to a
// QCursor (CurveCursors).
enum class CurveCursor {
  Arrow,
  Crosshair,
  OpenHand,
  ClosedHand,
  ResizeUpDown,
  RemoveHandle,      // our image "removeHandleCursor"
  ShowControlPoint,  // our image "showControlPointCursor"
};

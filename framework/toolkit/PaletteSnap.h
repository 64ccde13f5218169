#pragma once

#include <QRectF>

// Snapping and grouping of palettes, as pure functions over bottom-left
// screen frames (y is the bottom edge).
//
// Snap: while a palette O moves or resizes, every other palette S that is on
// screen pulls O so that edges within 5 points overlap by exactly 3 (phase 1,
// side snapping) and then aligns O's edges with its own when they lie within
// 5 points (phase 2). Palettes snap one after the other, each from the frame
// the previous ones left.
//
// Grouping: palettes that overlap by a strip exactly 3 points thick move
// together; with the option key on any side, with the command key (and on a
// plain collapse toggle) only those hanging below.
class PaletteSnap {
 public:
  static constexpr int kSnapDistance = 5;  // edges closer than this snap
  static constexpr double kOverlap = 3.0;  // a snapped neighbour's overlap

  enum class Drag { Move, Resize };

  // O's frame after S has played its part. `sAffected`: S moves with O (no
  // side snapping; edges align only while O is resized).
  static QRectF snap(const QRectF& o, const QRectF& s, Drag drag, bool sAffected);

  // Whether a palette with frame `own` joins the group of the palette with
  // frame `object`: option joins any touching side, command (without option)
  // only a palette whose top edge overlaps the object's bottom edge.
  static bool joinsGroup(const QRectF& object, const QRectF& own, bool optClick, bool cmdClick);
};

#pragma once

#include <QList>
#include <QRect>
#include <QRectF>
#include <QSizeF>

#include <optional>

// The aux display window's own rules, as pure functions over bottom-left
// screen frames (y is the bottom edge): its moves are held to no screen, a
// resize from the bottom-right corner is clamped, a dragged palette touching
// it marks it for the group move, and a palette dragged near it is snapped
// to abut it exactly (no 3-point overlap as between ordinary palettes), then
// aligned. Deltas are whole points.
class AuxWindowGeometry {
 public:
  static constexpr int kSnapDistance = 5;
  enum class Drag { Move, Resize };

  static QRectF moved(const QRectF& clickFrame, QPointF delta);
  // The top edge stays when the height reaches the minimum.
  static QRectF resized(const QRectF& clickFrame, QPointF delta, double mainScreenWidth,
                        const QSizeF& minSize);
  // Whether this window (`own`) is touched by the dragged palette `object`:
  // with the option key a strip exactly 3 points thick on any side, with
  // the command key only when this window hangs directly below.
  static bool touches(const QRectF& object, const QRectF& own, bool optClick, bool cmdClick);
  // The dragged palette's frame R after this window S has snapped it;
  // nothing when R stays as it is (nothing near, or this window moves with
  // R and R is not being resized).
  static std::optional<QRectF> snapped(const QRectF& r, const QRectF& s, Drag drag, bool sAffected);

  // Whether two edges lie within the snap distance (their difference,
  // truncated, strictly between −5 and 5).
  static bool near(double a, double b);
  // Whether two spans of whole points (origins floored, lengths truncated)
  // share a point.
  static bool spansOverlap(double origin1, double length1, double origin2, double length2);

  // The frame (bottom-left) a window at `windowFrame` takes to fill the one
  // screen other than the first (Qt's global frames, y down, the first the
  // primary) that it intersects; nothing with none or several.
  static std::optional<QRectF> fullscreenFrame(const QRectF& windowFrame,
                                               const QList<QRect>& screens);
};

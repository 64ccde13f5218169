#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <optional>

// The frame snapshot of a palette: its expanded frame in whole points with y
// counted down from the top of the main screen ("originX", "originY" of the
// bottom edge, "width", "height"), whether it is collapsed and, for the fixed
// palettes, whether it is on screen ("visible").
class FrameSnapshot {
 public:
  static const QString kOriginX;    // "originX"
  static const QString kOriginY;    // "originY"
  static const QString kWidth;      // "width"
  static const QString kHeight;     // "height"
  static const QString kCollapsed;  // "collapsed"
  static const QString kVisible;    // "visible"

  // What a snapshot says, or what a palette is.
  struct State {
    QRectF expanded;  // bottom-left screen coordinates
    bool collapsed = false;
    std::optional<bool> visible;  // only when the snapshot has it
    bool operator==(const State&) const = default;
  };

  static QVariantMap make(qint64 originX, qint64 originY, qint64 width, qint64 height,
                          bool collapsed);
  // The snapshot of a palette whose frame (its bar while collapsed) is
  // `actualLocation`: a collapsed palette records its expanded frame.
  static QVariantMap create(const QRectF& actualLocation, const QSizeF& expandedSize,
                            bool collapsed, double mainHeight, std::optional<bool> visible);
  // Reads a snapshot against the palette's current state: a field that is
  // missing, not a number (or a boolean, for the flags), beyond ±32767, or a
  // size of zero or less keeps its current value, and the problem is logged.
  // The origins may be negative: a frame off every screen is kept (the Window
  // menu brings it back).
  static State read(const QVariantMap& snapshot, const State& current, double mainHeight);
};

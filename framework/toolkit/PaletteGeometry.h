#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <optional>

// The frame arithmetic of palette windows, as pure functions. Frames are in
// bottom-left screen coordinates (y grows upwards, y is the bottom edge), the
// frame of a collapsed palette is its 19-point bar, and the main screen is the
// primary screen with its origin at (0, 0). A window converts once, at its
// boundary, to Qt's top-left coordinates (toQt, fromQt).
class PaletteGeometry {
 public:
  static constexpr double kBarHeight = 19.0;      // a collapsed palette
  static constexpr double kTitleHeight = 17.0;    // the title strip
  static constexpr double kMenuBarHeight = 22.0;  // kept free at the top
  static constexpr double kLargestCoordinate = 32767.0;
  // The strip at the bottom of a palette's body that holds the resize corner:
  // a body whose children take every press (split views, tables) leaves it
  // free, or the corner cannot be dragged.
  static constexpr int kResizeCornerRoom = 14;

  // The bar of an expanded frame: its top strip of kBarHeight.
  static QRectF collapsedFrame(const QRectF& expanded);
  // The expanded frame of a bar, the top edges kept: {x, 19 + y − H, W, H}.
  static QRectF expandedFrame(const QRectF& bar, const QSizeF& expandedSize);

  // Bottom-left frames and points to Qt's top-left ones and back, against the
  // height of the primary screen: y_TL = H − (y_BL + height).
  static QRectF toQt(const QRectF& bottomLeft, double primaryHeight);
  static QRectF fromQt(const QRectF& topLeft, double primaryHeight);
  static QPointF pointFromQt(const QPointF& topLeft, double primaryHeight);

  // The conversion of stored frames: y becomes (main height − y), x, width
  // and height unchanged (both directions are the same operation).
  static QRectF convertBLScreenToTLScreen(const QRectF& rect, double mainHeight);
  static QRectF convertTLScreenToBLScreen(const QRectF& rect, double mainHeight);

  // A move drag: the click frame moved by the whole-point delta, kept on the
  // main screen of the given size and kMenuBarHeight below its top.
  static QRectF clampMove(const QRectF& clickFrame, QPointF delta, const QSizeF& screen);
  // A resize drag: the top-left corner stays, the bottom-right corner moves by
  // the delta; kept inside the screen's right and bottom edges and no smaller
  // than minSize (the top edge still stays).
  static QRectF clampResize(const QRectF& clickFrame, QPointF delta, const QSizeF& screen,
                            const QSizeF& minSize);

  // Where a palette brought forward from the Window menu goes: shrunk to the
  // screen (width − 2, height − 24 of the screen less its menu bar) and
  // centred when it sticks out. An empty frame takes the minimum size first
  // (the bar's height where none is known), so the answer always lies on
  // the screen when the screen can hold it.
  static QRectF bringForward(QRectF frame, const QRectF& mainScreen, const QSizeF& minSize);

  // The snapshot that sends a fixed palette to its default place, by exact
  // title; none for other titles.
  static std::optional<QVariantMap> defaultFrameSnapshot(const QString& title);
  // The fixed palettes whose frames are kept in the user defaults, under
  // storedFrameKey(title).
  static bool storesFrameInDefaults(const QString& title);
  static QString storedFrameKey(const QString& title);
};

#pragma once

#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>

// The web source's arithmetic and its rule for typed addresses, as pure
// functions.
class WebSourceRules {
 public:
  // The address a typed text loads: "http://" in front only when the text
  // names no scheme; nullopt for an empty (or blank) text.
  static std::optional<QString> addressFromTyped(const QString& typed);
  // A render width: at least 4, at most the largest texture, lowered to a
  // multiple of 4 (642 → 640, 3 → 4).
  static int renderWidth(int typed, int maxTextureSize);
  // A render height: 1 … the largest texture.
  static int renderHeight(int typed, int maxTextureSize);
  // The page's point shown at the render's top left for a position (x, y)
  // in 0 … 1 (0: left or top edge): round((page − render) × position), never
  // below 0. Both the wanted and the applied scroll come from here.
  static QPoint scrollOrigin(QSizeF pageSize, QSizeF renderSize, QPointF position);
  // A point of the preview (y from the top) as a location in the page window
  // (y from the bottom), scaled from the preview's size to the page's visible
  // size: (200, 75) over 400 × 300 showing 640 × 480 is (320, 360).
  static QPointF previewToPageWindow(QPointF point, QSizeF previewSize, QSizeF visibleSize);
  // The same location with y from the top, as Qt widgets take it.
  static QPointF pageWindowToWidget(QPointF location, QSizeF visibleSize);
};

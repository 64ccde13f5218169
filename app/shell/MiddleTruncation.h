#pragma once

#include <QString>

class QFontMetricsF;

// Paths too wide for their column are shown with their middle left out: the
// head, "...", the tail. The character counts come from a width per character
// and may fall outside the text in narrow columns or for short texts; they
// are clamped, so the result never reads outside the text.
class MiddleTruncation {
 public:
  // "<first n − 3>...<last n>"; the text itself when the two parts would
  // cover it; "..." alone for n ≤ 0.
  static QString keepEnds(const QString& text, int n);
  // The text whole when the column is as wide as the text (`textWidth`), the
  // text is empty or `unit` is not a positive width; otherwise
  // keepEnds(text, ceilf(columnWidth / unit)).
  static QString toWidth(const QString& text, float columnWidth, float textWidth, float unit);
  // The missing-files outline's path column: unit = 2·(T − E)/L with T the
  // path's width, E the width of "..." and L the path's length.
  static QString pathToWidth(const QString& path, float columnWidth, const QFontMetricsF& metrics);
};

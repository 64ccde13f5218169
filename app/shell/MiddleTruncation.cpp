#include "app/shell/MiddleTruncation.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

QString MiddleTruncation::keepEnds(const QString& text, int n) {
  const qsizetype length = text.size();
  const qsizetype head = std::clamp<qsizetype>(qsizetype(n) - 3, 0, length);
  const qsizetype tail = std::clamp<qsizetype>(n, 0, length);
  if (n > 0 && head + tail >= length) return text;
  return text.left(head) + QStringLiteral("...") + text.right(tail);
}

QString MiddleTruncation::toWidth(const QString& text, float columnWidth, float textWidth,
                                  float unit) {
  if (text.isEmpty() || columnWidth >= textWidth) return text;
  if (!(unit > 0.0f) || !std::isfinite(unit)) return text;
  const float count = std::ceil(std::max(columnWidth, 0.0f) / unit);
  return keepEnds(text, count > float(text.size()) ? int(text.size()) : int(count));
}

QString MiddleTruncation::pathToWidth(const QString& path, float columnWidth,
                                      const QFontMetricsF& metrics) {
  if (path.isEmpty()) return path;
  const float textWidth = float(metrics.horizontalAdvance(path));
  const float ellipsis = float(metrics.horizontalAdvance(QStringLiteral("...")));
  const float unit = 2.0f * (textWidth - ellipsis) / float(path.size());
  return toWidth(path, columnWidth, textWidth, unit);
}

#include "app/sources/WebSourceRules.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

std::optional<QString> WebSourceRules::addressFromTyped(const QString& typed) {
  const QString text = typed.trimmed();
  if (text.isEmpty()) return std::nullopt;
  static const QRegularExpression withScheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
  static const QRegularExpression opaqueScheme(QStringLiteral("^(about|data|javascript):"),
                                               QRegularExpression::CaseInsensitiveOption);
  if (withScheme.match(text).hasMatch() || opaqueScheme.match(text).hasMatch()) return text;
  return QStringLiteral("http://%1").arg(text);
}

int WebSourceRules::renderWidth(int typed, int maxTextureSize) {
  const int most = std::max(4, maxTextureSize & ~3);
  return std::clamp(typed, 4, most) & ~3;
}

int WebSourceRules::renderHeight(int typed, int maxTextureSize) {
  return std::clamp(typed, 1, std::max(1, maxTextureSize));
}

QPoint WebSourceRules::scrollOrigin(QSizeF pageSize, QSizeF renderSize, QPointF position) {
  const double x = std::round((pageSize.width() - renderSize.width()) * position.x());
  const double y = std::round((pageSize.height() - renderSize.height()) * position.y());
  return {int(std::max(0.0, x)), int(std::max(0.0, y))};
}

QPointF WebSourceRules::previewToPageWindow(QPointF point, QSizeF previewSize, QSizeF visibleSize) {
  if (previewSize.isEmpty()) return {};
  const double fx = point.x() / previewSize.width();
  const double fy = 1.0 - point.y() / previewSize.height();
  return {fx * visibleSize.width(), fy * visibleSize.height()};
}

QPointF WebSourceRules::pageWindowToWidget(QPointF location, QSizeF visibleSize) {
  return {location.x(), visibleSize.height() - location.y()};
}

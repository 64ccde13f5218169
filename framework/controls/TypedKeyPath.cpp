#include "framework/controls/TypedKeyPath.h"

std::optional<KeyPath> keyPathFromTypedText(const QString& text) {
  const QStringList names = text.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  if (names.isEmpty()) return std::nullopt;
  const QString osc = QStringLiteral("OSC");
  if (names.first() != osc) return names;
  if (names.size() < 2) return std::nullopt;
  return KeyPath{osc, QLatin1Char('/') + names.mid(1).join(QLatin1Char('/'))};
}

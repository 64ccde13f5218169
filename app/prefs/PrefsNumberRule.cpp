#include "app/prefs/PrefsNumberRule.h"

#include <cmath>
#include <limits>

PrefsNumberRule PrefsNumberRule::size(const QString& name) { return {name, true, 1, kLargestSize}; }

PrefsNumberRule PrefsNumberRule::frames(const QString& name) {
  return {name, true, 1, std::nullopt};
}

PrefsNumberRule PrefsNumberRule::tempo(const QString& name) {
  return {name, true, 1, std::nullopt};
}

PrefsNumberRule PrefsNumberRule::number(const QString& name) {
  return {name, false, -std::numeric_limits<double>::max(), std::nullopt};
}

QString PrefsNumberRule::boundsText() const {
  if (maximum_) return QStringLiteral("between %1 and %2").arg(minimum_).arg(*maximum_);
  return QStringLiteral("at least %1").arg(minimum_);
}

std::optional<double> PrefsNumberRule::read(const QString& text, QString* reason) const {
  bool ok = false;
  double value = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value)) {
    if (reason) *reason = QStringLiteral("%1: \"%2\" is not a number").arg(name_, text);
    return std::nullopt;
  }
  if (integer_) value = std::trunc(value);
  if (value < minimum_ || (maximum_ && value > *maximum_)) {
    if (reason)
      *reason = QStringLiteral("%1 must be %2, not %3").arg(name_, boundsText()).arg(value);
    return std::nullopt;
  }
  return value;
}

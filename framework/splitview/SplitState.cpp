#include "framework/splitview/SplitState.h"

#include <QStringList>

#include <cfloat>
#include <cmath>

namespace {

std::optional<double> number(const QString& text) {
  bool ok = false;
  const double value = text.toDouble(&ok);  // C locale, whatever the user's
  if (!ok || !std::isfinite(value) || std::fabs(value) > FLT_MAX) return std::nullopt;
  return value;
}

}  // namespace

QString SplitState::format(const std::vector<Field>& fields) {
  QString text = QString::number(static_cast<int>(fields.size()));
  for (const Field& f : fields) {
    text += QLatin1Char(' ') + QString::number(f.value, 'g', 6);
    if (f.hidden) text += QLatin1Char('H');
  }
  return text;
}

std::optional<std::vector<SplitState::Field>> SplitState::parse(const QString& text, int count) {
  if (text.isEmpty()) return std::nullopt;
  const QStringList parts = text.split(QLatin1Char(' '));
  bool ok = false;
  if (parts.size() < 2 || parts.first().toInt(&ok) != count || !ok || parts.size() - 1 != count)
    return std::nullopt;
  std::vector<Field> fields;
  for (int i = 1; i < parts.size(); ++i) {
    Field f;
    QString part = parts[i];
    f.hidden = part.endsWith(QLatin1Char('H'));
    if (f.hidden) part.chop(1);
    if (part.trimmed() != part) return std::nullopt;
    const std::optional<double> value = number(part);
    if (!value) return std::nullopt;
    f.value = *value;
    fields.push_back(f);
  }
  return fields;
}

QString SplitState::defaultsKey(const QString& name, bool horizontal) {
  return QStringLiteral("TQSplitView %1 %2").arg(horizontal ? "H" : "V", name);
}

#include "framework/datasource/KeyPath.h"

namespace KeyPathAdditions {

std::optional<KeyPath> createArrayWithStrings(std::initializer_list<QString> strings) {
  if (strings.size() == 0 || strings.begin()->isNull()) return std::nullopt;
  KeyPath path;
  for (const QString& s : strings) {
    if (s.isNull()) break;
    path.append(ownCopy(s));
  }
  return path;
}

std::optional<KeyPath> fromStored(const QVariant& value) {
  if (value.typeId() != QMetaType::QVariantList && value.typeId() != QMetaType::QStringList)
    return std::nullopt;
  KeyPath path;
  for (const QVariant& name : value.toList()) {
    if (name.typeId() != QMetaType::QString) return std::nullopt;
    path << name.toString();
  }
  if (path.isEmpty()) return std::nullopt;
  return path;
}

KeyPath fromLegacy(const QString& generator, const QString& specifier) {
  if (generator == QStringLiteral("Hardware"))
    return {QStringLiteral("Mouse"),
            specifier == QStringLiteral("h.mouse") ? QStringLiteral("X") : QStringLiteral("Y")};
  return {generator, specifier};
}

QString lastPathComponent(const QString& path) {
  qsizetype end = path.size();
  while (end > 1 && path.at(end - 1) == QLatin1Char('/')) --end;
  const QString trimmed = path.left(end);
  if (trimmed == QLatin1String("/")) return trimmed;
  const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? trimmed : trimmed.mid(slash + 1);
}

bool containsPathEndingWith(const QStringList& paths, const QString& name) {
  if (name.isNull()) return false;
  for (const QString& p : paths)
    if (lastPathComponent(p) == name) return true;
  return false;
}

QString joined(const KeyPath& path) { return path.join(QLatin1Char('/')); }

QString ownCopy(const QString& text) {
  return text.isNull() ? QString() : QString(text.constData(), text.size());
}

KeyPath ownCopy(const KeyPath& path) {
  KeyPath copy;
  copy.reserve(path.size());
  for (const QString& name : path) copy.append(ownCopy(name));
  return copy;
}

}  // namespace KeyPathAdditions

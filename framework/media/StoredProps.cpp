#include "framework/media/StoredProps.h"

#include "framework/media/QKFile.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/VariantNumbers.h"

namespace StoredProps {

namespace {
Type typeOf(const QVariant& fallback) {
  switch (fallback.typeId()) {
    case QMetaType::Bool:
      return Type::Bool;
    case QMetaType::QString:
      return Type::String;
    case QMetaType::QVariantMap:
      return Type::Dictionary;
    default:
      return Type::Int;
  }
}
}  // namespace

QVariant typed(const QVariant& value, Type type) {
  const bool number = VariantNumbers::isNumber(value, true);
  switch (type) {
    case Type::Bool:
      return number ? QVariant(value.toBool()) : QVariant();
    case Type::Int:
      return number ? QVariant(value.toInt()) : QVariant();
    case Type::String:
      return value.typeId() == QMetaType::QString ? value : QVariant();
    case Type::Dictionary:
      return value.typeId() == QMetaType::QVariantMap ? value : QVariant();
  }
  return {};
}

QVariant userDefault(const QString& defaultsKey, const QVariant& fallback) {
  const QVariant stored = UserDefaults::standard().value(defaultsKey);
  if (!stored.isValid()) return fallback;
  const QVariant value = typed(stored, typeOf(fallback));
  return value.isValid() ? value : fallback;
}

QString styleNameDefault(const QString& defaultsKey, const QString& preferred,
                         const QStringList& tableNames, const QStringList& menuTitles) {
  const QVariant stored = typed(UserDefaults::standard().value(defaultsKey), Type::String);
  if (stored.isValid()) return stored.toString();
  if (tableNames.contains(preferred)) return preferred;
  return menuTitles.isEmpty() ? QString() : menuTitles.first();
}

QVariantMap subset(const QVariantMap& props, const std::vector<Key>& keys) {
  QVariantMap result;
  for (const Key& key : keys)
    if (props.contains(key.name)) result.insert(key.name, props.value(key.name));
  return result;
}

void overlay(QKFile& file, const QVariant& stored, const std::vector<Key>& keys) {
  if (!file.hasMovieProps()) file.setMovieProps({});
  if (!stored.isValid()) return;
  if (stored.typeId() != QMetaType::QVariantMap) {
    Log::line(QStringLiteral("\t\terr: stored properties of %1 are not a dictionary, left out")
                  .arg(file.description()));
    return;
  }
  const QVariantMap map = stored.toMap();
  for (const Key& key : keys) {
    if (!map.contains(key.name)) continue;
    const QVariant value = typed(map.value(key.name), key.type);
    if (value.isValid())
      file.setMovieProp(key.name, value);
    else
      Log::line(QStringLiteral("\t\terr: stored property \"%1\" of %2 has the wrong type, left out")
                    .arg(key.name, file.description()));
  }
}

}  // namespace StoredProps

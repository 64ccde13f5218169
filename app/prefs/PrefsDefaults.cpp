#include "app/prefs/PrefsDefaults.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/VariantNumbers.h"

namespace {

bool isNumber(const QVariant& value) { return VariantNumbers::isNumber(value, true); }

}  // namespace

bool PrefsDefaults::hasNumber(const QString& key) {
  return isNumber(UserDefaults::standard().value(key));
}

bool PrefsDefaults::hasString(const QString& key) {
  return UserDefaults::standard().value(key).typeId() == QMetaType::QString;
}

bool PrefsDefaults::hasDictionary(const QString& key) {
  return UserDefaults::standard().value(key).typeId() == QMetaType::QVariantMap;
}

std::optional<qint64> PrefsDefaults::integer(const QString& key) {
  if (!hasNumber(key)) return std::nullopt;
  return UserDefaults::standard().integerValue(key);
}

qint64 PrefsDefaults::integerOrWritten(const QString& key, qint64 fallback) {
  if (const auto stored = integer(key)) return *stored;
  UserDefaults& defaults = UserDefaults::standard();
  defaults.registerDefaults({{key, fallback}});
  defaults.setValue(key, fallback);
  return fallback;
}

QString PrefsDefaults::stringOrWritten(const QString& key, const QString& fallback) {
  if (hasString(key)) return UserDefaults::standard().stringValue(key);
  UserDefaults::standard().setValue(key, fallback);
  return fallback;
}

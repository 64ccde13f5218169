#pragma once

#include <QString>

#include <optional>

// The preferences' reading of the user defaults: a stored value of the
// wrong type counts as absent.
class PrefsDefaults {
 public:
  static bool hasNumber(const QString& key);
  static bool hasString(const QString& key);
  static bool hasDictionary(const QString& key);
  static std::optional<qint64> integer(const QString& key);
  // The stored number, or `fallback` registered and written when there is
  // none.
  static qint64 integerOrWritten(const QString& key, qint64 fallback);
  static QString stringOrWritten(const QString& key, const QString& fallback);
};

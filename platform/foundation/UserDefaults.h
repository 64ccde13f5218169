#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <mutex>

// The user defaults: a registration domain (defaults the program registers at
// start-up) under a persistent domain kept as an XML property list in the
// user's config folder ($XDG_CONFIG_HOME/ZAPH/defaults.plist). Keys are plain
// strings and may hold spaces and "/". Values are property-list Qt values and
// may nest. Changes are written atomically after a short debounce, and at
// `synchronize` and quit. Safe from any thread.
//
// Tests never touch the real file: ZAPH_DEFAULTS_FILE, or `setFilePath`,
// points the persistent domain elsewhere.
class UserDefaults {
 public:
  static UserDefaults& standard();

  QVariant value(const QString& key) const;  // persistent, then registration
  bool contains(const QString& key) const;
  void setValue(const QString& key, const QVariant& value);
  void remove(const QString& key);
  void registerDefaults(const QVariantMap& defaults);

  bool boolValue(const QString& key) const;
  double doubleValue(const QString& key) const;
  qint64 integerValue(const QString& key) const;
  QString stringValue(const QString& key) const;
  QVariantMap dictionaryValue(const QString& key) const;
  QVariantList arrayValue(const QString& key) const;

  // Writes pending changes now; answers false when the write failed.
  bool synchronize();

  QString filePath() const;
  // Points the persistent domain at another file and reloads from it (an
  // empty path restores the default location). Pending changes are written
  // to the old file first.
  void setFilePath(const QString& path);
  // Drops both domains without writing (tests).
  void resetForTesting();

  double debounceSeconds() const { return debounce_; }
  void setDebounceSeconds(double seconds) { debounce_ = seconds; }

 private:
  UserDefaults();
  void load();
  void scheduleWrite();
  QString defaultFilePath() const;

  mutable std::recursive_mutex mutex_;
  QString path_;
  QVariantMap persistent_;
  QVariantMap registration_;
  bool dirty_ = false;
  bool writeScheduled_ = false;
  double debounce_ = 1.0;
};

#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <mutex>

// The user defaults: a registration domain (defaults the program registers at
// start-up) under a persistent domain kept as an XML property list in the
// user's config folder ($XDG_CONFIG_HOME/ZAPH/defaults.plist). Keys are plain
// strings and may hold spaces and "/". Values are property-list Qt values and
// may nest. A change is written atomically `debounceSeconds` after it (the
// changes made meanwhile go with it), and at `synchronize` and quit. Safe
// from any thread.
//
// A file that cannot be read is reported, moved aside to "<name>.broken" (so
// that it is never overwritten) and the program goes on with empty defaults.
// Values are stored in property-list form (PropertyList::normalized): an int
// reads back as qint64, a QStringList as a QVariantList; a value with no
// such form is refused with a logged error.
//
// Tests never touch the real file: ZAPH_DEFAULTS_FILE, or `setFilePath`,
// points the persistent domain elsewhere.
class UserDefaults {
 public:
  static UserDefaults& standard();

  QVariant value(const QString& key) const;  // persistent, then registration
  bool contains(const QString& key) const;
  // An invalid value removes the key.
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
  void moveAside(const QString& reason);
  // Whether the domain holds an equal value under the key already (values
  // that change nothing skip their conversion).
  bool holds(const QVariantMap& domain, const QString& key, const QVariant& value) const;
  void scheduleWrite();
  void writeScheduled();
  bool writePending();
  bool writePendingHoldingWriteLock();
  void watchForQuit();
  QString defaultFilePath() const;

  // Lock order: writeMutex_ before mutex_. writeMutex_ keeps writes in the
  // order of their snapshots; mutex_ guards the fields and is not held while
  // the file is written.
  std::mutex writeMutex_;
  mutable std::recursive_mutex mutex_;
  QString path_;
  QVariantMap persistent_;
  QVariantMap registration_;
  bool dirty_ = false;
  bool writeScheduled_ = false;
  bool writable_ = true;  // false while a broken file could not be moved aside
  bool watchingQuit_ = false;
  std::atomic<double> debounce_{1.0};
};

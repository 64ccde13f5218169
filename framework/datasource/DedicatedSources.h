#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <mutex>

class DataSourceController;

// A manager's table of dedicated input names: the raw name of a source
// (under `rawRoot`, "MIDI" or "OSC") to the name the user gave it. A
// dedicated source lives at (dedicatedRoot, dedicated name) instead of
// (rawRoot, raw name), and the table is kept in the user defaults under
// `defaultsKey`.
//
// Lookups come from input threads; the table is edited and loaded on the
// main thread.
class DedicatedSources {
 public:
  DedicatedSources(QString defaultsKey, QString rawRoot, QString dedicatedRoot);

  // Raw name → dedicated name, as strings.
  QVariantMap dictionary() const;
  // Entries whose value is not a non-empty string are left out.
  void setDictionary(const QVariantMap& dictionary);
  // Empty when the source has no dedicated name.
  QString dedicatedNameFor(const QString& rawName) const;
  bool isEmpty() const;

  // Registers the table as the key's default, stores it and writes the
  // defaults.
  void saveToDefaults() const;
  // Rebuilds the dedicated sources from the defaults: every current
  // dedication (those in the table and those the last load made) is moved
  // back under the raw root, the table is read again,
  // and each entry moves its raw source (or, before the first value, a
  // fresh one) under the dedicated root. Without entries the dedicated
  // root is removed.
  void loadFromDefaults(DataSourceController* dsc);

 private:
  const QString defaultsKey_;
  const QString rawRoot_;
  const QString dedicatedRoot_;
  mutable std::mutex mutex_;
  QHash<QString, QString> table_;
  std::atomic<bool> empty_{true};  // lets lookups skip the mutex in the usual case
  QVariantMap applied_;            // main thread: the dedications the last load made
};

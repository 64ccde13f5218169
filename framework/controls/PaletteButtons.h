#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <memory>
#include <mutex>

class QKButtonCell;

// The inspector palette's own buttons of a manager, by key, held weakly, and
// their part of a palette-shortcut snapshot. The mutex is a leaf: no button
// is called while it is held.
class PaletteButtons {
 public:
  void set(const QString& key, const std::shared_ptr<QKButtonCell>& button);
  // Null when no live button is set under `key`.
  std::shared_ptr<QKButtonCell> button(const QString& key) const;

  // Inserts, under its key, the non-empty snapshot of each button of `keys`.
  void putSnapshots(const QStringList& keys, QVariantMap& dictionary) const;
  // Loads each button of `keys` from its entry when that is a dictionary;
  // other entries are skipped.
  void matchSnapshots(const QStringList& keys, const QVariantMap& dictionary) const;

 private:
  mutable std::mutex mutex_;
  std::map<QString, std::weak_ptr<QKButtonCell>> buttons_;
};

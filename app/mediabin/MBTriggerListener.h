#pragma once

#include "framework/controls/QKButtonCell.h"

#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>

// One trigger listener of a media bin: an undrawn toggle button cell bound
// to a MIDI note, key, OSC address or button. Its place in the listeners'
// list names the cell it plays; every change of its state (press and
// release) sends its action with the listener as sender, on the thread that
// set its source. It remembers the file it triggered last, for the
// eject on release.
class MBTriggerListener : public QKButtonCell {
 public:
  using Ptr = std::shared_ptr<MBTriggerListener>;

  static const QString kSyncArrayKey;       // "syncArray"
  static const QString kSyncFlagKey;        // "syncFlag"
  static const QString kLegacySyncGenKey;   // "QKMBTriggerCell-syncGen"
  static const QString kLegacySyncSpecKey;  // "QKMBTriggerCell-syncSpec"

  // Straight sync (mode 0), rise and fall, toggle type, unbound; the action
  // runs while `target` lives.
  static Ptr createWithTarget(std::weak_ptr<const void> target, Action action);

  long lastTriggeredUniqueId() const { return lastTriggeredUniqueId_.load(); }
  void setLastTriggeredUniqueId(long id) { lastTriggeredUniqueId_.store(id); }
  // The short name of the source (a note's letter name, a controller "CC7",
  // an OSC address's last component, a key's characters); empty without a
  // path of two components.
  QString humanReadableName() const;

  // Only the path and the binding.
  QVariantMap createSnapshot() const override;
  // A path (or the older pair of strings) binds; anything else, a path that
  // is not a list of strings included, leaves the listener unbound.
  void loadSnapshot(const QVariantMap& snapshot, bool andOutput = true) override;

 private:
  MBTriggerListener() = default;

  std::atomic<long> lastTriggeredUniqueId_{-1};
};

#pragma once

#include "framework/controls/QKButtonCell.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

// One row of the media bin's layer queue: the layer it targets (by exact
// name), whether it takes part, the file waiting for that layer, and a
// learnable shortcut. It is a button cell that no control draws, used for
// its binding: when the shortcut fires, the owner's action (on the main
// thread) makes this row the next to receive a file.
//
// Threads: the pending file ID and the active flag are atomics that MIDI,
// OSC, clock and trigger threads read and write; the pending ID is taken
// with `takeToBeTriggeredId` so that a file assigned meanwhile is never
// written over. The name sits behind a small mutex.
class MBLayerItem : public QKButtonCell {
 public:
  using Ptr = std::shared_ptr<MBLayerItem>;
  using Refresh = std::function<void()>;

  static const QString kLayerNameKey;       // "layerName"
  static const QString kActiveKey;          // "active"
  static const QString kSuperSnapKey;       // "superSnap"
  static const QString kLegacySyncGenKey;   // "MBTriggerQueueItem-syncGen"
  static const QString kLegacySyncSpecKey;  // "MBTriggerQueueItem-syncSpec"

  // Active, nothing pending, no shortcut; trigger mode 1, fired on the main
  // thread. `target` keeps the action alive; `action` runs with the item;
  // `refresh` is called when the shortcut is set or cleared.
  static Ptr createWithLayer(const QString& layerName, std::weak_ptr<const void> target,
                             std::function<void(MBLayerItem&)> action, Refresh refresh);

  QString layerName() const;
  void setLayerName(const QString& name);
  bool active() const { return active_.load(); }
  void setActive(bool active) { active_.store(active); }
  int toBeTriggeredId() const { return toBeTriggeredId_.load(); }
  void setToBeTriggeredId(int id) { toBeTriggeredId_.store(id); }
  // The pending ID, leaving -1 in its place.
  int takeToBeTriggeredId() { return toBeTriggeredId_.exchange(-1); }
  // Clears the pending ID only while it is still `id`.
  bool cancelToBeTriggeredId(int id) { return toBeTriggeredId_.compare_exchange_strong(id, -1); }
  // Whether the shortcut is being learnt.
  bool detecting() const;

  bool useThisSource(const KeyPath& path) override;
  void setSyncFlagAndRefresh(bool flag);
  // The shortcut text; empty without a path of two components.
  QString humanReadableName() const;

  // Empty for an item without a layer name: such an item is not saved.
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot, bool andOutput = true) override;

 private:
  MBLayerItem() = default;
  void refresh() const;

  mutable std::mutex nameMutex_;
  QString layerName_;
  std::atomic<bool> active_{true};
  std::atomic<int> toBeTriggeredId_{-1};
  Refresh refresh_;
};

#pragma once

#include "framework/controls/QKButtonCellDelegate.h"

#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <memory>

class QKButtonCell;
class SequencerStepOwner;

// One step of a step sequencer: a value, an on/off flag and a shortcut, a
// learnable button cell that sends the play position to this step when its
// source fires. Value and flag are atomics, read by the tick and changed by
// the display and the record mode under the sequencer's read lock.
class SequencerStep : public QKButtonCellDelegate {
 public:
  static const QString kVal;           // "val"
  static const QString kEnabled;       // "enabled"
  static const QString kShortcutCell;  // "shortcutCell"

  // `flagChanges`, when given, counts every change of the on/off flag (the
  // tick keeps its step search until it moves).
  using ChangeCounter = std::shared_ptr<std::atomic<std::uint32_t>>;
  SequencerStep(float value, bool enabled, SequencerStepOwner* sequencer,
                ChangeCounter flagChanges = nullptr);
  ~SequencerStep() override;
  SequencerStep(const SequencerStep&) = delete;
  SequencerStep& operator=(const SequencerStep&) = delete;

  float val() const { return val_.load(std::memory_order_relaxed); }
  // Limited to 0 … 1.
  void setVal(float value);
  bool enabled() const { return enabled_.load(std::memory_order_relaxed); }
  void setEnabled(bool enabled) {
    if (enabled_.exchange(enabled, std::memory_order_relaxed) != enabled && flagChanges_)
      flagChanges_->fetch_add(1, std::memory_order_release);
  }
  const std::shared_ptr<QKButtonCell>& shortcutCell() const { return shortcutCell_; }
  SequencerStepOwner* sequencer() const { return sequencer_; }

  QVariantMap createSnapshot() const;
  // "val" as stored (a value that is not finite loads as 0), "enabled",
  // "shortcutCell"; each only when present.
  void loadSnapshot(const QVariantMap& snapshot);
  void prepareToBeDeleted();

  // The shortcut's action: the sequencer jumps here when the step is in use.
  void shortcutTriggered();
  void QKButtonSyncFlagChanged(QKButtonCell& cell) override;

 private:
  std::atomic<float> val_{0.0f};
  std::atomic<bool> enabled_{true};
  std::shared_ptr<QKButtonCell> shortcutCell_;
  SequencerStepOwner* sequencer_;
  ChangeCounter flagChanges_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

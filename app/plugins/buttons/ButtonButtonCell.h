#pragma once

#include "framework/controls/QKButtonCell.h"

#include <QString>

#include <atomic>
#include <mutex>

// The cell of a Buttons plug-in's button: a full button cell that also
// belongs to a mutual-exclusion group, and that never follows a source of
// its own plug-in (a path whose root is the plug-in's name), however it
// would learn it. The plug-in's name is kept here, under a mutex, since
// learning happens on the MIDI, OSC and tick threads.
class ButtonButtonCell : public QKButtonCell {
 public:
  static const QString kMutexFlag;   // "mutexFlag"
  static const QString kMutexGroup;  // "mutexGroup"

  static std::shared_ptr<ButtonButtonCell> create();

  // The owning plug-in's instance name; empty: no plug-in (refuses all).
  void setPluginName(const QString& name);
  QString pluginName() const;
  bool mutexFlag() const { return mutexFlag_.load(); }
  void setMutexFlag(bool flag) { mutexFlag_.store(flag); }
  int mutexGroup() const { return mutexGroup_.load(); }
  void setMutexGroup(int group) { mutexGroup_.store(group); }

  bool useThisSource(const KeyPath& path) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot, bool andOutput = true) override;

 private:
  ButtonButtonCell() = default;

  std::atomic<bool> mutexFlag_{false};
  std::atomic<int> mutexGroup_{0};
  mutable std::mutex nameMutex_;
  QString pluginName_;
};

#pragma once

#include "framework/controls/QKButtonCell.h"
#include "framework/datasource/KeyPath.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// One input of a multiplexer: the key path of the source that supplies its
// value, and a learnable shortcut. It is a button cell that no control
// draws, used for its binding: when the shortcut fires, the action (on the
// thread that delivered the shortcut's value) makes this input the current
// one. A deleted input ignores new paths and snapshots and saves nothing.
//
// Threads: the value path sits behind a small mutex; the button cell's own
// state is safe from any thread. `refresh` is called, on the calling
// thread, whenever the shortcut is set or cleared.
class QKMultiplexerPluginItem : public QKButtonCell {
 public:
  using Ptr = std::shared_ptr<QKMultiplexerPluginItem>;
  using Refresh = std::function<void()>;

  static const QString kSuperSnapKey;        // "superSnap"
  static const QString kSliderSyncArrayKey;  // "sliderSyncArray"

  // An input with that value source (or none), no shortcut, trigger mode 1,
  // firing on the delivering thread. The action runs while `target` lives.
  static Ptr createWithSliderSyncArray(const std::optional<KeyPath>& path,
                                       std::weak_ptr<const void> target,
                                       std::function<void(QKMultiplexerPluginItem&)> action,
                                       Refresh refresh);

  std::optional<KeyPath> sliderSyncArray() const;
  // Nothing once deleted; nullopt clears the path.
  void setSliderSyncArray(const std::optional<KeyPath>& path);

  // The shortcut (the button cell's binding) is active.
  bool shortcutActive() const { return syncFlag(); }
  bool detecting() const;
  bool useThisSource(const KeyPath& path) override;
  void setSyncFlagAndRefresh(bool flag);
  // The shortcut's text; empty for a path of fewer than two components.
  QString humanReadableName() const;

  // Empty once deleted.
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot, bool andOutput = true) override;

 private:
  QKMultiplexerPluginItem() = default;
  void refresh() const;

  mutable std::mutex pathMutex_;
  std::optional<KeyPath> sliderSyncArray_;
  Refresh refresh_;
};

#pragma once

#include "framework/datasource/DataSourceNotifications.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/KeyPath.h"
#include "platform/foundation/CutLink.h"
#include "platform/foundation/ObserverSwitch.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QKButtonCell;
struct Notification;

// A layer's shortcuts to its effect-chain presets: one button cell per
// preset, bound to a MIDI note, controller or pitch wheel, an OSC address, a
// key or a button's data source, learnt from the first detect notification
// after `startDetect`. Every cell fires on the main thread, whatever thread
// its source pushes on, and hands the preset's name to `apply`.
//
// Threads: everything but the detect handlers runs on the main thread. The
// handlers (MIDI and OSC input threads, the main thread for keys and
// buttons) only hand the learnt path to the main thread, which ends the
// learning (the first event of any kind) and makes the cell there.
class LayerFXShortcuts {
 public:
  // Both called on the main thread.
  using Apply = std::function<void(const QString& presetName)>;
  using Changed = std::function<void()>;

  static const QString kPresetNameKey;  // "presetName"

  LayerFXShortcuts(Apply apply, Changed changed);
  ~LayerFXShortcuts();
  LayerFXShortcuts(const LayerFXShortcuts&) = delete;
  LayerFXShortcuts& operator=(const LayerFXShortcuts&) = delete;

  // Starts learning a shortcut for the preset, or, when it has one, clears
  // it instead (a second click clears). A learning under way ends first.
  void startDetect(const QString& presetName);
  void cancelDetect();
  bool detecting() const { return !learning_.isEmpty(); }
  QString nameBeingDetected() const { return learning_; }
  void clear(const QString& presetName);
  void clearAll();

  // The shortcut's key path joined with "/" ("MIDI/note [60] ch. 1"); null
  // without a shortcut.
  QString shortcutString(const QString& presetName) const;
  QStringList presetNames() const;
  std::shared_ptr<QKButtonCell> cellFor(const QString& presetName) const;

  // Preset name → the cell's snapshot with "presetName".
  QVariantMap createSnapshot() const;
  // Replaces every shortcut by those of the dictionary; entries that are
  // not dictionaries or name no path are skipped (logged).
  void loadSnapshot(const QVariant& shortcuts);

  // Main thread: applies the preset (a shortcut cell's action).
  void fire(const QString& presetName);
  void prepareToBeDeleted();

 private:
  enum Kind { kMIDI, kOSC, kKey, kButton, kKinds };
  void detected(Kind kind, const Notification& notification);
  void learnt(std::uint64_t generation, const std::optional<KeyPath>& path);
  void stopObserving();
  std::shared_ptr<QKButtonCell> makeCell(const QString& presetName, const KeyPath& path);
  void store(const QString& presetName, std::shared_ptr<QKButtonCell> cell);

  Apply apply_;
  Changed changed_;
  std::map<QString, std::shared_ptr<QKButtonCell>> cells_;
  QString learning_;
  // Tells a handler's result from a learning that has since ended.
  std::atomic<std::uint64_t> generation_{0};
  std::shared_ptr<CutLink<LayerFXShortcuts>> link_;
  ObserverSwitch detect_[kKinds] = {
      {this, QString::fromLatin1(InputNotifications::MIDIDetect)},
      {this, QString::fromLatin1(InputNotifications::OSCDetect)},
      {this, QString::fromLatin1(InputNotifications::KeyDetect)},
      {this, QString::fromLatin1(DataSourceNotifications::ButtonDetect)}};
  bool deleted_ = false;
};

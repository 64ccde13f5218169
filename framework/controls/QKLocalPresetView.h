#pragma once

#include <QPointer>
#include <QVariantMap>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class LocalPresetOwner;
class QKButton;
class QKButtonCell;
class QKLocalPresetButton;

// A strip of up to 16 numbered preset buttons with a read/write toggle ("R"
// or "W") at its left end. Each preset can hold a snapshot of its owner's
// state: pressing a preset recalls what it holds; pressing it with Ctrl
// (Command) held, or while the toggle is at "W", stores the owner's state
// in it. The preset recalled or stored last is lit. The presets are ordinary
// buttons, so MIDI, OSC or keys bound to them recall presets (a data source
// presses no key, so it stores only at "W").
//
// Main thread only: the preset buttons queue their action on the main
// thread, also when a source triggers them on another. A queued action from
// a preset that has since been removed (a rebuilt strip) does nothing.
class QKLocalPresetView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMaxPresets = 16;
  static constexpr int kToggleWidth = 12;

  explicit QKLocalPresetView(QWidget* parent = nullptr);
  ~QKLocalPresetView() override;

  // The owner whose state the presets hold (not owned; the owner outlives
  // the strip or clears it).
  void setTarget(LocalPresetOwner* owner) { target_ = owner; }
  LocalPresetOwner* target() const { return target_; }
  QKButton* readWriteButton() const { return readWriteButton_; }
  const std::vector<QPointer<QKLocalPresetButton>>& itemArray() const { return itemArray_; }
  int indexOfCurrentPreset() const { return indexOfCurrentPreset_; }

  // Clamped to 0..16: empty presets are added at the end, or the last ones
  // removed.
  void setCapacityTo(int count);
  // Appends an empty preset, or one holding `state`.
  QKLocalPresetButton* addButtonWithSnapshot(std::optional<QVariantMap> state);
  // Appends a preset restored (silently) from a saved button snapshot.
  QKLocalPresetButton* addButtonFromSnapshot(const QVariantMap& snapshot);

  // The action of the toggle and of every preset.
  void buttonUsed(QKButtonCell& sender);
  // The current preset on, every other off, without output.
  void updateButtonStates();
  // Lays the presets out right of the toggle, each 12 to 500 wide.
  void resizeButtons();

  // "readWriteButton" (the toggle's snapshot) and "itemArray" (the presets'
  // snapshots, left to right; absent without presets).
  QVariantMap createSnapshot() const;
  // Rebuilds the presets from "itemArray" (at most 16; entries that are not
  // dictionaries are skipped and logged) without sending any action; without
  // an "itemArray" the presets stay. The lit preset comes from the presets'
  // own snapshots.
  void loadSnapshot(const QVariantMap& snapshot);
  void prepareToBeDeleted();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void makeReadWriteButton();
  QKLocalPresetButton* appendButton();
  void removePresets(size_t from);
  QColor backgroundColor() const;

  QPointer<QKButton> readWriteButton_;
  LocalPresetOwner* target_ = nullptr;
  int indexOfCurrentPreset_ = 0;
  std::vector<QPointer<QKLocalPresetButton>> itemArray_;
  // The buttons' target: their queued actions run only while it lives.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

#pragma once

#include "framework/controls/QKBMInterfaceManager.h"
#include "framework/controls/TriStateAccumulator.h"
#include "framework/datasource/KeyPath.h"

#include <QPointer>
#include <QTabWidget>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class DataSourceController;
class QKBMContextualMenuController;
class QKBMDSListController;
class QKButton;
class QKButtonCell;
class QKButtonManager;
class QSlider;
class SimpleLevelView;

// The button half of the Slider/Button Inspector palette: shows, and edits
// for all of them at once, the binding and triggering of the buttons the
// button manager has selected. Its own buttons (sync, trigger mode, rise and
// fall, MIDI/OSC/key detect, "S" toggles shown, shortcuts shown, hardware
// learn) never select themselves on a click, and their actions run on the
// main thread. It owns the buttons' contextual menu and the source chooser,
// and is the manager's inspector, menu and list controller once given the
// manager.
//
// A refresh reads the selection and shows each flag as on (all), off (none)
// or mixed (-1), the first button's source in the chooser, every button's
// source checked in the contextual menu, and the last button's threshold.
// Nothing is refreshed while the palette shows another tab than "Button".
// Main thread only (the manager queues and coalesces its requests); the
// level meter takes values from any thread.
class QKButtonInspector : public QWidget, public QKBMInterfaceManager {
  Q_OBJECT
 public:
  static const QString kButtonTabLabel;  // "Button"
  // The threshold slider's steps over 0..1.
  static constexpr int kThresholdSteps = 1000;

  // What a refresh shows of a selection.
  struct SelectionSummary {
    TriStateAccumulator sync, edgeTriggered, syncToggleShown, rise, fall;
    std::optional<float> threshold;  // the last button's
    std::vector<KeyPath> paths;      // each button's, in selection order
  };
  static SelectionSummary summarize(const std::vector<std::shared_ptr<QKButtonCell>>& cells);

  explicit QKButtonInspector(QWidget* parent = nullptr);
  ~QKButtonInspector() override;

  // Connections. With the manager, the inspector becomes its inspector, its
  // contextual menu and list controllers, and hands it its palette buttons.
  void setButtonManager(QKButtonManager* manager);
  void setDataSourceController(DataSourceController* controller);
  // The palette's tab view (a QKNSTabView), whose "Button" tab holds this
  // inspector.
  void setInspectorTabView(QTabWidget* tabView) { inspectorTabView_ = tabView; }

  QKBMContextualMenuController* contextualMenuController() const { return menu_.get(); }
  QKBMDSListController* sourceViewController() const { return list_.get(); }

  // QKBMInterfaceManager.
  void updateWithLockedStatus(bool lockedStatus) override;
  void updateValueRelatedOnlyWithValue(float value) override;
  // The refresh: the manager's selection shown, unless another tab shows.
  void updatingOnMainThread();
  // Shows these cells as the selection (the refresh's work).
  void showSelection(const std::vector<std::shared_ptr<QKButtonCell>>& cells);
  // The trigger mode of all edge-based (1), all straight (0) or mixed (-1)
  // buttons on the mode button (without output), the rise and fall toggles
  // (shown for edges) and the contextual menu.
  void showTriggerMode(int mode);

  // Actions of the controls.
  void syncToggleUsed();
  void valThreshUsed();
  void riseToggleUsed();
  void fallToggleUsed();
  void triggerModeButtonUsed();
  void showSyncToggleButtonUsed();
  void midiDetectClicked();
  void oscDetectUsed();
  void keyDetectClicked();
  void showShortcutsClicked();

  QKButton* syncToggle() const { return syncToggle_; }
  QKButton* riseToggle() const { return riseToggle_; }
  QKButton* fallToggle() const { return fallToggle_; }
  QKButton* triggerModeButton() const { return triggerModeButton_; }
  QKButton* showSyncToggleButton() const { return showSyncToggleButton_; }
  QKButton* midiDetectButton() const { return midiDetectButton_; }
  QKButton* oscDetectButton() const { return oscDetectButton_; }
  QKButton* keyDetectButton() const { return keyDetectButton_; }
  QKButton* showShortcutButton() const { return showShortcutButton_; }
  QKButton* hardwareLearnButton() const { return hardwareLearnButton_; }
  QSlider* threshSlider() const { return threshSlider_; }
  SimpleLevelView* levelView() const { return levelView_; }

 private:
  QKButton* makeButton(const QString& title, const QString& title2, int type,
                       void (QKButtonInspector::*action)());
  void layOut();
  void registerPaletteButtons();
  bool showsAnotherTab() const;
  void showFlag(QKButton* control, const QString& menuTitle, const TriStateAccumulator& flag);
  // A toggle at mixed turns on first (without output); answers its value.
  static int resolvedToggleValue(QKButton* toggle);

  QKButtonManager* buttonManager_ = nullptr;
  DataSourceController* dataSourceController_ = nullptr;
  QPointer<QTabWidget> inspectorTabView_;
  std::unique_ptr<QKBMContextualMenuController> menu_;
  std::unique_ptr<QKBMDSListController> list_;
  // The buttons' target: their queued actions run only while it lives.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);

  QKButton* syncToggle_ = nullptr;
  QKButton* riseToggle_ = nullptr;
  QKButton* fallToggle_ = nullptr;
  QKButton* triggerModeButton_ = nullptr;
  QKButton* showSyncToggleButton_ = nullptr;
  QKButton* midiDetectButton_ = nullptr;
  QKButton* oscDetectButton_ = nullptr;
  QKButton* keyDetectButton_ = nullptr;
  QKButton* showShortcutButton_ = nullptr;
  QKButton* hardwareLearnButton_ = nullptr;
  QSlider* threshSlider_ = nullptr;
  SimpleLevelView* levelView_ = nullptr;
};

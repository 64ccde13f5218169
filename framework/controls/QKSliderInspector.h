#pragma once

#include "framework/controls/QKSMInterfaceManager.h"
#include "framework/controls/TriStateAccumulator.h"
#include "framework/datasource/KeyPath.h"

#include <QPointer>
#include <QTabWidget>
#include <QWidget>

#include <memory>
#include <vector>

class DataSourceController;
class QKButton;
class QKSMBehaviorListController;
class QKSMContextualMenuController;
class QKSMDSListController;
class QKSliderCell;
class QKSliderManager;
class QLineEdit;

// The slider half of the Slider/Button Inspector palette: shows, and edits
// for all of them at once, the binding, behaviour chain, toggles and lock of
// the sliders the slider manager has selected, and the first one's value
// and whether a mark sits at it. Its own buttons never select themselves on
// a click, and their actions run on the main thread. It owns the sliders'
// contextual menu, the source chooser and the chain pop-up, and is the
// manager's inspector, menu and list controller once given the manager.
//
// A refresh shows each flag as on (all), off (none) or mixed (-1) on the
// buttons and in the contextual menu, the first slider's source and chain in
// the pop-ups and every slider's source and chain checked in the menu.
// Nothing is refreshed while the palette shows another tab than "Slider".
// Main thread only (the manager queues and coalesces its requests).
class QKSliderInspector : public QWidget, public QKSMInterfaceManager {
  Q_OBJECT
 public:
  static const QString kSliderTabLabel;  // "Slider"
  static const QString kAddMark;         // "Add Mark"
  static const QString kRemoveMark;      // "Remove Mark"

  // What a refresh shows of a selection.
  struct SelectionSummary {
    TriStateAccumulator sync, behavior, lockUI, syncToggleShown, behavToggleShown;
  };
  static SelectionSummary summarize(const std::vector<std::shared_ptr<QKSliderCell>>& sliders);

  explicit QKSliderInspector(QWidget* parent = nullptr);
  ~QKSliderInspector() override;

  // With the manager, the inspector becomes its inspector, its contextual
  // menu and list controllers, and hands it its palette buttons.
  void setSliderManager(QKSliderManager* manager);
  void setDataSourceController(DataSourceController* controller);
  void setInspectorTabView(QTabWidget* tabView) { inspectorTabView_ = tabView; }
  QKSMContextualMenuController* contextualMenuController() const { return menu_.get(); }
  QKSMDSListController* sourceViewController() const { return list_.get(); }
  QKSMBehaviorListController* behaviorViewController() const { return behaviors_.get(); }

  // QKSMInterfaceManager.
  void updateWithLockedStatus(bool lockedStatus) override;
  void updateValueRelatedOnly() override;
  // The refresh: the manager's selection shown, unless another tab shows.
  void updatingOnMainThread();
  // How many refreshes have run.
  int refreshCount() const { return refreshCount_; }

  // Actions of the controls.
  void syncToggleUsed();
  void behaviorToggleUsed();
  void midiDetectUsed();
  void oscDetectUsed();
  // Text that is not a number leaves the value alone.
  void currentValFieldUsed();
  void addRemoveMarkButtonUsed();
  void lockUnlockMarksButtonUsed();
  void showSyncToggleUsed();
  void showBehavToggleUsed();

  QKButton* addRemoveMarkButton() const { return addRemoveMarkButton_; }
  QKButton* lockUnlockMarksButton() const { return lockUnlockMarksButton_; }
  QKButton* syncToggle() const { return syncToggle_; }
  QKButton* behaviorToggle() const { return behaviorToggle_; }
  QKButton* midiDetectButton() const { return midiDetectButton_; }
  QKButton* oscDetectButton() const { return oscDetectButton_; }
  QKButton* showSyncToggleButton() const { return showSyncToggleButton_; }
  QKButton* showBehavToggleButton() const { return showBehavToggleButton_; }
  QLineEdit* currentValField() const { return currentValField_; }

 private:
  QKButton* makeButton(const QString& title, const QString& title2, int type,
                       void (QKSliderInspector::*action)());
  void layOut();
  void registerPaletteButtons();
  bool showsAnotherTab() const;
  void showSelection(const std::vector<std::shared_ptr<QKSliderCell>>& sliders);
  void showValueOf(const std::vector<std::shared_ptr<QKSliderCell>>& sliders);
  void showChainOf(const QKSliderCell& first);
  void showFlag(QKButton* control, const QString& menuTitle, const TriStateAccumulator& flag);
  std::shared_ptr<QKSliderCell> firstSelected() const;
  static int resolvedToggleValue(QKButton* toggle);

  QKSliderManager* sliderManager_ = nullptr;
  QPointer<QTabWidget> inspectorTabView_;
  std::unique_ptr<QKSMContextualMenuController> menu_;
  std::unique_ptr<QKSMDSListController> list_;
  std::unique_ptr<QKSMBehaviorListController> behaviors_;
  // The buttons' target: their queued actions run only while it lives.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  int refreshCount_ = 0;

  QKButton* addRemoveMarkButton_ = nullptr;
  QKButton* lockUnlockMarksButton_ = nullptr;
  QKButton* syncToggle_ = nullptr;
  QKButton* behaviorToggle_ = nullptr;
  QKButton* midiDetectButton_ = nullptr;
  QKButton* oscDetectButton_ = nullptr;
  QKButton* showSyncToggleButton_ = nullptr;
  QKButton* showBehavToggleButton_ = nullptr;
  QLineEdit* currentValField_ = nullptr;
};

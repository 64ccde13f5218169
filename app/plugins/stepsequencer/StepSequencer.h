#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "app/plugins/stepsequencer/SequencerStepOwner.h"
#include "app/plugins/stepsequencer/StepSequencerEngine.h"
#include "framework/controls/LocalPresetOwner.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QString>

#include <atomic>
#include <memory>

class BlackTranslucentPanel;
class DSFloatInfreqRepeat;
class MasterClockInterface;
class QKButton;
class QKLocalPresetView;
class QKSliderCell;
class QKSliderControl;
class QLabel;
class QSlider;
class QTableView;
class StepSequencerDisplay;
class StepSequencerShortcutController;
struct StepSequencerTicker;

// The "StepSequencer" plug-in: a row of steps played in time with the
// master clock, one step per subdivision of a beat, publishing the step
// under the play position (or a value interpolated towards the next) at
// ["Step Sequencers", instance name] on every data-source tick. Speed, loop
// modes, direction, pause, sync with the clock, jumps by a column, beat or
// measure, learnt step shortcuts, a record mode that writes a slider's
// value into the steps as they pass, randomising, eight local presets.
//
// The tick (`DSCProc`) runs on the data-source thread and only changes the
// engine's atomics and the published source; what it changes on screen
// (the pause and record buttons at the end of stop mode, the display)
// follows on the main thread. Controls and snapshots run on the main
// thread, but for button actions that a bound source fires.
class StepSequencer : public QKPlugin, public SequencerStepOwner, public LocalPresetOwner {
  Q_OBJECT
 public:
  static const QString kTypeName;   // "StepSequencer"
  static const QString kGroupName;  // "Step Sequencers"
  enum Jump { PrevColumn, PrevBeat, PrevMeasure, NextColumn, NextBeat, NextMeasure };

  StepSequencer(const QString& type, const QString& name, std::int32_t uniqueID);
  ~StepSequencer() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  QVariantMap createLocalSnapshot() override;
  void loadLocalSnapshot(const QVariantMap& snapshot) override;

  // One tick: advance, publish.
  void DSCProc();

  // --- SequencerStepOwner ---
  long indexOfStep(const SequencerStep* step) const override;
  long stepValuesCount() const override { return engine_.stepValuesCount(); }
  void shortcutTriggered(long index) override;
  StepSequencerShortcutController* shortcutController() const override;

  // --- Controls ---
  void rowsSliderUsed(int rows);
  void barsButtonUsed(bool bars);
  void originSliderUsed(float origin);
  void constrainButtonUsed(bool constrain);
  void measuresSliderUsed(int measures);
  void interpolateButtonUsed(bool interpolate);
  void loopModeButtonUsed(int mode, int value);
  void flipDirectionButtonUsed();
  void pauseButtonUsed(int value);
  void syncWithMasterClockUsed();
  void jumpButtonUsed(Jump jump);
  void rndButtonUsed();
  void recordButtonUsed(int value);
  void setRecording(bool recording);
  void setStepValuesCount(long count);
  void openOptionsPanel();
  void closeOptionsPanel();
  void clockDetailsUpdated();

  StepSequencerEngine& engine() { return engine_; }
  const StepSequencerEngine& engine() const { return engine_; }
  StepSequencerDisplay* display() const { return display_; }
  QKButton* pauseButton() const { return pauseButton_; }
  QKButton* recordButton() const { return recordButton_; }
  QKButton* detectionButton() const { return detectionButton_; }
  QKButton* loopModeButton(int mode) const { return loopModeButtons_[mode]; }
  QKSliderControl* speedSlider() const { return speedSlider_; }
  QKSliderControl* recordSlider() const { return recordSlider_; }
  QKLocalPresetView* localPresetView() const { return localPresetView_; }
  QTableView* shortcutTableView() const { return shortcutTableView_; }
  BlackTranslucentPanel* optionsPanel() const { return optionsPanel_; }
  int measures() const;
  QString measuresLabel() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void buildOptionsPanel(QWidget* body);
  void wireControls();
  MasterClockInterface* masterClock() const;
  double clockReading() const;
  void copyClockLayout();
  void refreshDisplay();
  void endDetection();
  void showRecordingEnded();
  void finishRecordingChange(bool recording);
  // Any thread: the record slider is to show `value`; at most one refresh
  // waits on the main thread, and it shows the latest value.
  void showOutputOnRecordSlider(float value);
  void refreshRecordSlider();

  StepSequencerEngine engine_{this};
  std::shared_ptr<DSFloatInfreqRepeat> dataSource_;
  std::shared_ptr<StepSequencerTicker> ticker_;
  std::shared_ptr<QKSliderCell> recordCell_;  // read by the tick
  std::atomic<float> recordSliderOutput_{0.0f};
  std::atomic<bool> recordSliderRefreshPending_{false};
  std::atomic<bool> deleting_{false};
  bool recordSliderSyncFlag_ = true;

  StepSequencerDisplay* display_ = nullptr;
  StepSequencerShortcutController* shortcutController_ = nullptr;
  QKButton* optionsButton_ = nullptr;
  QKButton* loopModeButtons_[3] = {};
  QKButton* flipDirectionButton_ = nullptr;
  QKButton* pauseButton_ = nullptr;
  QKButton* syncButton_ = nullptr;
  QKButton* rndButton_ = nullptr;
  QKButton* recordButton_ = nullptr;
  QKButton* jumpButtons_[6] = {};
  QKSliderControl* speedSlider_ = nullptr;
  QKSliderControl* recordSlider_ = nullptr;
  QKLocalPresetView* localPresetView_ = nullptr;
  BlackTranslucentPanel* optionsPanel_ = nullptr;
  QSlider* numberRowsSlider_ = nullptr;
  QSlider* verticalOriginSlider_ = nullptr;
  QSlider* numberMeasuresSlider_ = nullptr;
  QKButton* drawAsBarsButton_ = nullptr;
  QKButton* constrainDragButton_ = nullptr;
  QKButton* interpolateValsButton_ = nullptr;
  QLabel* numberMeasuresLabel_ = nullptr;
  QTableView* shortcutTableView_ = nullptr;
  QKButton* detectionButton_ = nullptr;
  QKButton* clearShortcutsButton_ = nullptr;
  QKButton* doneButton_ = nullptr;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};

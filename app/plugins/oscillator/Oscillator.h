#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "app/plugins/oscillator/OscillatorPhase.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QString>

#include <atomic>
#include <memory>

class BlackTranslucentPanel;
class DataSource;
class DSFloatFrequent;
class QKButton;
class QKLogSliderControl;
class QKSingleSplineOpenGLView;
class QLineEdit;
class TitleBarOnlyCollapsedLevelView;
struct OscillatorTicker;

// The "Oscillator" plug-in: a value from 0 to 1 read off an editable wave
// whose phase runs with the master clock, in cycles per measure, published
// at ["Oscillators", instance name] every data-source tick. Five presets
// redraw the wave (triangle, cosine, sine, saw, square); the loop mode stops
// after one cycle, loops or bounces; the direction flips; the phase pauses
// and re-aligns with the clock. The frequency shows as a fraction of whole
// numbers, which can be typed.
//
// The tick runs on the data-source thread; controls and snapshots on the
// main thread, but for button and slider actions a bound source fires, which
// run where the source pushes.
class Oscillator : public QKPlugin {
  Q_OBJECT
 public:
  static const QString kTypeName;   // "Oscillator"
  static const QString kGroupName;  // "Oscillators"
  enum Preset { Triangle, Cosine, Sine, Saw, Square };

  Oscillator(const QString& type, const QString& name, std::int32_t uniqueID);
  ~Oscillator() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // The tick: advance, evaluate, publish.
  void setDataSourceWithVal(DataSource* source);

  // --- Controls ---
  void waveTypeButtonClicked(Preset preset);
  void loopModeButtonUsed(int mode, int value);
  void flipDirectionButtonUsed();
  void pauseButtonUsed(int value);
  void resyncWithClockButtonUsed();
  void frequencySliderUsed(float frequency);
  // Ignored for measures of 0 or less.
  void textFieldUsed(long cycles, long measures);
  // The frequency as reduced whole numbers: cycles over measures.
  static std::pair<long, long> convertFreqToCycles(float frequency);

  // Replaces the wave of `spline` by a preset.
  static void applyPreset(class QKSingleSpline& spline, Preset preset);

  const OscillatorPhase& phase() const { return phase_; }
  OscillatorPhase& phase() { return phase_; }
  float frequency() const { return frequency_.load(); }
  QKSingleSplineOpenGLView* waveformView() const { return waveformView_; }
  QKLogSliderControl* frequencySlider() const { return frequencySlider_; }
  QKButton* pauseButton() const { return pauseButton_; }
  QKButton* presetButton(Preset preset) const;
  TitleBarOnlyCollapsedLevelView* titleBarLevelView() const { return titleBarLevelView_; }

  // The options sheet, over the window's body; closed by a preset's recall
  // and by any plug-in's deletion.
  void optionsButtonClicked();
  void closeOptionsPanelClicked();
  bool optionsPanelShown() const;
  QString cyclesText() const;
  QString measuresText() const;

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  double clockReading() const;
  void showFraction(float frequency);
  void waveChanged();
  void useButtonImages();
  void buildOptionsPanel(QWidget* body);

  OscillatorPhase phase_;
  std::atomic<float> frequency_{1.0f};
  std::atomic<bool> deleting_{false};
  std::shared_ptr<OscillatorTicker> ticker_;

  QKSingleSplineOpenGLView* waveformView_ = nullptr;
  QKButton* presetButtons_[5] = {};
  QKButton* loopModeButtons_[3] = {};  // stop, loop, reverse loop
  QKButton* flipDirectionButton_ = nullptr;
  QKButton* pauseButton_ = nullptr;
  QKButton* resyncWithClockButton_ = nullptr;
  QKLogSliderControl* frequencySlider_ = nullptr;
  QLineEdit* cyclesTextField_ = nullptr;
  QLineEdit* measuresTextField_ = nullptr;
  QKButton* optionsPanelButton_ = nullptr;
  QKButton* closeOptionsButton_ = nullptr;
  BlackTranslucentPanel* optionsPanel_ = nullptr;
  // Read by the tick: set once the window is built, cleared before it goes.
  std::atomic<TitleBarOnlyCollapsedLevelView*> titleBarLevel_{nullptr};
  TitleBarOnlyCollapsedLevelView* titleBarLevelView_ = nullptr;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};

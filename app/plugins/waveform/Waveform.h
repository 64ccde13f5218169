#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "framework/toolkit/QKPlugin.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>

class DataSource;
class QKButton;
class QKSliderControl;
class TitleBarLevelView;
struct WaveformTicker;

// The "Waveform" plug-in: a low-frequency oscillator locked to the master
// clock. Seven buttons choose the shape (square, saw, triangle, sine,
// cosine, random, drunk), the "rate" slider its speed in cycles per measure
// (0..32), and resync realigns the phase with the clock. The output (0..1)
// is published at ["Oscillators", instance name] (the group shared with the
// oscillator plug-ins) and shown in the title bar's level meter.
//
// The phase is kept as its fraction of a cycle in double precision, so
// hours of a fast wave never coarsen it. Threads: the tick runs on the
// data-source thread; the buttons' actions run where they are sent; the
// phase and the generator sit behind one small mutex held only for their
// arithmetic.
class Waveform : public QKPlugin {
  Q_OBJECT
 public:
  static const QString kTypeName;   // "Waveform"
  static const QString kGroupName;  // "Oscillators"

  Waveform(const QString& type, const QString& name, std::int32_t uniqueID);
  ~Waveform() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // The tick: one step of the oscillator.
  void setDataSourceWithVal(DataSource* source);
  // A wave button's action: that shape becomes the current one.
  void buttonUsed(int type);
  void resyncWithClockButtonUsed();

  // Random and drunk draw from a generator seeded so (by default from the
  // system's entropy).
  void setRandomSeed(std::uint32_t seed);

  int waveType() const { return waveType_.load(); }
  double currentTime() const;  // the phase, 0 <= t < 1
  float lastResult() const { return lastResult_.load(); }
  QKSliderControl* frequencySlider() const { return frequencySlider_; }
  QKButton* waveButton(int type) const;
  QKButton* resyncWithClockButton() const { return resyncWithClockButton_; }
  TitleBarLevelView* titleBarLevelView() const { return titleBarLevelView_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  double clockReading() const;
  float rate() const;
  float rateNormalised() const;

  std::atomic<int> waveType_{3};
  std::atomic<float> lastResult_{0.0f};
  std::atomic<bool> deleting_{false};
  mutable std::mutex phaseMutex_;
  double currentTime_ = 0.0;    // guarded: the fraction of a cycle
  double lastClockTime_ = 0.0;  // guarded: measures
  std::mt19937 random_;         // guarded
  std::shared_ptr<WaveformTicker> ticker_;

  TitleBarLevelView* titleBarLevelView_ = nullptr;
  QKSliderControl* frequencySlider_ = nullptr;
  QKButton* resyncWithClockButton_ = nullptr;
  QKButton* waveButtons_[7] = {};  // by type
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "framework/taps/QKTapClient.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class Compositor;
class DataSource;
class Layer;
class QCheckBox;
class QFrame;
class QKButton;
class QKButtonCell;
class QKNSPopUpButton;
class QKRTapMenuController;
class QKSingleSpline;
class QKSliderCell;
class QKSliderControl;
class QLineEdit;
class QTimer;
class TCMSplineView;
struct MixerTicker;
struct MixerSliderDelegate;

// The "TwoChannelMixer" plug-in: one crossfader (0..1) turned, through the
// two fade curves of its TCMSplineView, into the opacity of a left and a
// right layer (chosen by their taps' names) and, when asked, into the volume
// of their movies. It fades the crossfader over a set time, cuts it to an
// end, fades towards a layer when a file is triggered there (auto-fade) and
// publishes the crossfader at ["Mixers", instance name] on every tick.
//
// Threads: the window, fades (a 15 ms timer), layer choice and snapshots run
// on the main thread. The crossfader's action runs where the crossfader is
// set (main, tick, MIDI, OSC thread): it reads the layers only through weak
// references taken on the main thread when a side was chosen (a deleted
// layer's side is none) and touches slider and button cells, never widgets.
class TwoChannelMixer : public QKPlugin, public QKTapClient {
  Q_OBJECT
 public:
  static const QString kTypeName;   // "TwoChannelMixer"
  static const QString kGroupName;  // "Mixers"
  static constexpr double kFadeTimerInterval = 0.015;

  TwoChannelMixer(const QString& type, const QString& name, std::int32_t uniqueID);
  ~TwoChannelMixer() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // --- Crossfader (any thread) ---
  void crossfaderUsed();
  // The tick: publishes the crossfader's last value.
  void setDataSourceWithVal(DataSource* source);
  float crossfaderValue() const { return crossfaderValue_.load(); }

  // --- Controls (main thread) ---
  void fadeToggleButtonUsed(int state);
  void toggleButtonUsed(int state);
  void fadeTimeSliderUsed();
  // A value that is not a finite number of seconds ≥ 0 is refused: the
  // field shows the duration it had. Answers whether it took the text.
  bool fadeDurationTextFieldUsed();
  void leftMenuUsed();
  void rightMenuUsed();
  void crossfaderSyncFlagChanged();
  void openOptionsPanel();
  void closeOptionsPanel();
  bool optionsPanelOpen() const;

  // --- Fades (main thread) ---
  void startFadeTo(float target);
  void invalidateTimer();
  void fadeTimerCallback();
  bool fadeRunning() const { return fadeStartTime_.has_value(); }
  float fadeDuration() const { return fadeDuration_; }
  // The clock fades are timed on, in seconds (a steady clock by default).
  void setTimeSource(std::function<double()> now) { now_ = std::move(now); }

  // --- Layers ---
  // The compositor whose layers the sides name (by default the
  // application's).
  void setCompositor(Compositor* compositor) { compositorOverride_ = compositor; }
  std::shared_ptr<Layer> leftLayer() const;
  std::shared_ptr<Layer> rightLayer() const;
  void layerTriggeredFile(const void* layer, const QVariantMap& userInfo);
  bool preventFade() const { return preventFade_.load(); }

  void setTapManager(QKTapManager* manager) override { tapManager_ = manager; }
  QKTapManager* tapManager() const override { return tapManager_; }

  QKSliderControl* crossfader() const { return crossfader_; }
  QKSliderControl* fadeTimeSlider() const { return fadeTimeSlider_; }
  QLineEdit* fadeDurationTextField() const { return fadeDurationTextField_; }
  QCheckBox* autoFadeButton() const { return autoFadeButton_; }
  QCheckBox* audioFadeButton() const { return audioFadeButton_; }
  QKButton* fadeNowButton() const { return fadeNowButton_; }
  QKButton* cutNowButton() const { return cutNowButton_; }
  TCMSplineView* splineView() const { return splineView_; }
  QKRTapMenuController* leftMenuController() const { return leftMenuController_; }
  QKRTapMenuController* rightMenuController() const { return rightMenuController_; }

 private:
  // A side's layer and the cells the crossfader drives there.
  struct Side {
    std::weak_ptr<Layer> layer;
    std::weak_ptr<QKSliderCell> alpha;
    std::weak_ptr<QKSliderCell> volume;
  };

  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void buildOptionsPanel(QWidget* body);
  void connectControls();
  Compositor* compositor() const;
  Side sideNamed(const QString& name) const;
  Side side(bool left) const;
  void applyToSide(const Side& side, float level, bool audio);
  void showFadeDuration();

  std::atomic<float> crossfaderValue_{1.0f};
  std::atomic<bool> preventFade_{false};
  std::atomic<int> audioFadeState_{0};
  std::atomic<bool> deleting_{false};
  std::shared_ptr<MixerTicker> ticker_;
  std::shared_ptr<MixerSliderDelegate> sliderDelegate_;

  mutable std::mutex sidesMutex_;  // held only to copy or replace a side
  Side left_, right_;

  // Taken when the window is built; the action thread uses these.
  std::shared_ptr<QKSliderCell> crossfaderCell_;
  std::shared_ptr<QKButtonCell> fadeNowCell_, cutNowCell_;
  std::shared_ptr<QKSingleSpline> leftCurve_, rightCurve_;

  QKTapManager* tapManager_ = nullptr;
  Compositor* compositorOverride_ = nullptr;

  QKSliderControl* crossfader_ = nullptr;
  QKSliderControl* fadeTimeSlider_ = nullptr;
  QLineEdit* fadeDurationTextField_ = nullptr;
  QCheckBox* autoFadeButton_ = nullptr;
  QCheckBox* audioFadeButton_ = nullptr;
  QKButton* fadeNowButton_ = nullptr;
  QKButton* cutNowButton_ = nullptr;
  QKButton* openOptionsPanelButton_ = nullptr;
  QKButton* closeOptionsPanelButton_ = nullptr;
  QKNSPopUpButton* leftButton_ = nullptr;
  QKNSPopUpButton* rightButton_ = nullptr;
  QKRTapMenuController* leftMenuController_ = nullptr;
  QKRTapMenuController* rightMenuController_ = nullptr;
  TCMSplineView* splineView_ = nullptr;
  QFrame* optionsPanel_ = nullptr;

  QTimer* fadeTimer_ = nullptr;
  float fadeDuration_ = 1.0f;
  float fadeStartValue_ = 0.0f;
  float fadeDestinationValue_ = 0.0f;
  std::optional<double> fadeStartTime_;
  std::function<double()> now_;

  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers layerTriggerObserver_;
  NotificationObservers observers_;
};

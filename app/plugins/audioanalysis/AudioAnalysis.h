#pragma once

#include "app/plugins/audioanalysis/AudioAnalysisEngine.h"
#include "app/plugins/audioanalysis/QKAAWaveViewHost.h"
#include "app/plugins/manager/PluginClass.h"
#include "framework/audio/QKAudioPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QKButton;
class QKLogSliderControl;
class QKNSTableView;
class QSlider;
class QTableWidget;
class QTimer;
class QKAAOpenGLWaveView;

// The "AudioAnalysis" plug-in: the user picks an input device, switches the
// analysis on and draws bands on a live 40 Hz–20 kHz spectrum; each band is
// a float data source at [instance name, band name]. The options sheet
// holds the devices, the gain, the channels in the mix, pass-through to an
// output device, normalising, the preview's quality and speed, and the band
// table. Main thread only; the signal path is the engine's.
class AudioAnalysis : public QKAudioPlugin, public QKAAWaveViewHost {
  Q_OBJECT
 public:
  static const QString kTypeName;  // "AudioAnalysis"
  static constexpr float kMinTimerPeriod = 0.033f;

  AudioAnalysis(const QString& type, const QString& name, std::int32_t uniqueID);
  ~AudioAnalysis() override;
  static PluginClass pluginClass();
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void setAudioSource(QKAudioDeviceController* device) override;
  void setAudioDest(QKAudioDeviceController* device) override;

  // --- Actions ---
  void onOffToggleUsed();
  void previewToggleUsed();
  void audioPassThruToggleUsed();
  void previewQualitySliderUsed();
  void previewFrequencySliderUsed();
  void gainSliderUsed();
  void normalizeLevelsButtonUsed();
  void inputDeviceSelected();
  void outputDeviceSelected();
  void openOptionsPanel();
  void closeOptionsPanel();

  void setRunning(bool run);
  void setPassThruAudio(bool on);
  void setPause(bool pause) { engine_.setPause(pause); }
  void fillAudioDeviceMenu(QComboBox* popUp, bool isInput);
  void drawingTimerCallback();

  // --- Host of the wave view ---
  QString instanceName() const override { return windowTitle(); }
  DataSourceController* bandSourceController() const override { return dataSourceController(); }
  AudioAnalysisEngine& engine() override { return engine_; }
  bool windowCollapsed() const override;

  // --- Reads (tests, the view) ---
  QKAAOpenGLWaveView* waveView() const { return waveView_; }
  bool shouldBeRunning() const { return shouldBeRunning_; }
  float drawingTimerPeriod() const { return drawingTimerPeriod_; }
  bool drawingTimerActive() const;
  QString lastSelectedInputName() const { return lastSelectedInputName_; }
  QString lastSelectedOutputName() const { return lastSelectedOutputName_; }
  QKButton* onOffToggle() const { return onOffToggle_; }
  QKButton* previewToggle() const { return previewToggle_; }
  QKButton* audioPassThruToggle() const { return audioPassThruToggle_; }
  QKButton* newAnalysisBandButton() const { return newAnalysisBandButton_; }
  QComboBox* audioInputDevices() const { return audioInputDevices_; }
  QComboBox* audioOutputDevices() const { return audioOutputDevices_; }
  QSlider* previewQualitySlider() const { return previewQualitySlider_; }
  QSlider* previewFrequencySlider() const { return previewFrequencySlider_; }
  QKLogSliderControl* inputGainSlider() const { return inputGainSlider_; }
  QWidget* optionsPanel() const { return optionsPanel_; }

 private:
  void buildBody(QWidget* body);
  void buildOptions(QWidget* body);
  void bind(QKButton* button, void (AudioAnalysis::*action)());
  void reloadChannelTable();
  void audioHardwareChanged();
  void startTimer();
  void invalidateTimer();
  void selectTitle(QComboBox* popUp, const QString& title);
  QKAudioDeviceController* deviceNamed(const QString& name, bool isInput) const;
  QString selectedTitle(QComboBox* popUp) const;
  bool anyChannelOn() const;
  void restoreComponent(const QString& name, const QVariantMap& component,
                        std::optional<std::vector<float>>& weights);

  AudioAnalysisEngine engine_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  bool shouldBeRunning_ = false;
  QString lastSelectedInputName_;
  QString lastSelectedOutputName_;
  float drawingTimerPeriod_ = kMinTimerPeriod;
  bool drawingTimerRefresh_ = false;
  bool drawingTimerRunning_ = false;
  std::unique_ptr<QTimer> drawingTimer_;

  QKButton* onOffToggle_ = nullptr;
  QKButton* previewToggle_ = nullptr;
  QKButton* audioPassThruToggle_ = nullptr;
  QKButton* showOptionsButton_ = nullptr;
  QKButton* closeOptionsButton_ = nullptr;
  QKButton* newAnalysisBandButton_ = nullptr;
  QKButton* deleteAnalysisBandButton_ = nullptr;
  QCheckBox* normalizeLevelsButton_ = nullptr;
  QSlider* previewQualitySlider_ = nullptr;
  QSlider* previewFrequencySlider_ = nullptr;
  QKLogSliderControl* inputGainSlider_ = nullptr;
  QComboBox* audioInputDevices_ = nullptr;
  QComboBox* audioOutputDevices_ = nullptr;
  QTableWidget* channelTableView_ = nullptr;
  QKNSTableView* bandTable_ = nullptr;
  QWidget* optionsPanel_ = nullptr;
  QKAAOpenGLWaveView* waveView_ = nullptr;
  // Last: removed first.
  NotificationObservers observers_;
};

#pragma once

#include "app/inspector/MIPane.h"
#include "app/inspector/MISerialQueue.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class MICheckBox;
class MISegmentedControl;
class MediaInspector;
class QComboBox;
class QKFile;
class QKLogSliderControl;
class QKMIRangeSelectorController;
class QKMITimeWarpView;
class QKSliderControl;
class QLabel;
class QLineEdit;
class QWidget;

// The movie properties pane of the media inspector: start time, speed,
// volume and loop mode with their use flags, pre-roll, RAM loading, tempo
// and length, live updating, and, for compositions, texts and images, the
// render size, the style and the image cache. It shows every inspected
// file at once (check boxes on, off or mixed; a field the value of the
// last file that has it) and writes each edit into the inspector's pending
// entries; an apply merges them into the files and queues the pre-rolls.
//
// Main thread only; slider actions from other threads are handed over.
class QKMIMoviePropertiesController : public QObject, public MIPane {
  Q_OBJECT
 public:
  enum class Sender {
    TimeSlider,
    TimeField,
    SpeedSlider,
    SpeedField,
    VolumeSlider,
    VolumeField,
    LoopMode,
    RamloadField,
    HorResField,
    VertResField,
    StylePopUp,
  };
  enum class Check {
    UseTime,
    UseSpeed,
    UseVolume,
    UseLoopMode,
    Preroll,
    Ramload,
    RamloadAll,
    BpmSync,
    UseQtzRes,
    QtLive,
    QtzLive,
    CacheImage,
    UseStyle,
  };

  QKMIMoviePropertiesController(MediaInspector* inspector, WorkerPool& pool);
  ~QKMIMoviePropertiesController() override;

  void setRangeController(QKMIRangeSelectorController* range) { rangeController_ = range; }
  void setTimeWarpView(QKMITimeWarpView* view) { timeWarpView_ = view; }
  void setCompositionPane(MIPane* pane) { qcController_ = pane; }

  void updateSelection() override;
  void storeParamsForSelectedFiles() override;

  void parameterChanged(Sender sender);
  void handleParameterChanged(Sender sender);
  void buttonUsed(Check check);
  // From the tempo field (true) or the measures field.
  void fileTimingChanged(bool fromTempo);

  // The two views the inspector places: the movie options, and the
  // settings of compositions, texts and images.
  QWidget* movieOptionsView() const { return movieOptionsView_; }
  QWidget* qtzOptionsView() const { return qtzOptionsView_; }

  MICheckBox* checkBox(Check check) const;
  QKSliderControl* timeSlider() const { return timeSlider_; }
  QKLogSliderControl* speedSlider() const { return speedSlider_; }
  QKSliderControl* volumeSlider() const { return volumeSlider_; }
  QLineEdit* timeTextField() const { return timeTextField_; }
  QLineEdit* speedTextField() const { return speedTextField_; }
  QLineEdit* volumeTextField() const { return volumeTextField_; }
  QLineEdit* ramloadTextField() const { return ramloadTextField_; }
  QLineEdit* bpmTextField() const { return bpmTextField_; }
  QLineEdit* durationInMeasuresTextField() const { return durationInMeasuresTextField_; }
  QLineEdit* qtzHozResTextField() const { return qtzHozResTextField_; }
  QLineEdit* qtzVertResTextField() const { return qtzVertResTextField_; }
  QLabel* resolutionTextField() const { return resolutionTextField_; }
  QComboBox* textStylePopUpButton() const { return textStylePopUpButton_; }
  MISegmentedControl* loopModeControl() const { return loopModeControl_; }
  MISerialQueue& preRollQueue() { return preRollQueue_; }

  // Whether `props` may be stored: every known key of the right type,
  // finite, and not negative where a size, count or duration is meant.
  // The reason is given when not.
  static bool validProps(const QVariantMap& props, QString* reason);

 private:
  void buildViews();
  void connectSlider(QKSliderControl* slider, Sender sender);
  void sliderDelegateChanged(QKSliderControl* slider);
  std::optional<Sender> senderForSlider(const QKSliderControl* slider) const;
  void writeValue(Sender sender, const QString& useKey, const QString& valueKey,
                  const QVariant& value);
  void writeRamloadRange();
  void writeFlag(const QString& key, int state);
  void refreshStyleMenu(bool images, bool texts);
  void refreshTimingFields(std::optional<float> shown, bool fromTempo);
  void storeFile(const std::shared_ptr<QKFile>& file, const QVariantMap& pending);
  std::optional<float> fieldFloat(QLineEdit* field) const;

  MediaInspector* inspector_;
  QKMIRangeSelectorController* rangeController_ = nullptr;
  QKMITimeWarpView* timeWarpView_ = nullptr;
  MIPane* qcController_ = nullptr;

  QWidget* movieOptionsView_ = nullptr;
  QWidget* qtzOptionsView_ = nullptr;
  QLabel* resolutionTextField_ = nullptr;
  MICheckBox* qtLiveUpdatingButton_ = nullptr;
  MICheckBox* qtzLiveUpdatingButton_ = nullptr;
  QKSliderControl* timeSlider_ = nullptr;
  QLineEdit* timeTextField_ = nullptr;
  MICheckBox* useTimeButton_ = nullptr;
  QKLogSliderControl* speedSlider_ = nullptr;
  QLineEdit* speedTextField_ = nullptr;
  MICheckBox* useSpeedButton_ = nullptr;
  QKSliderControl* volumeSlider_ = nullptr;
  QLineEdit* volumeTextField_ = nullptr;
  MICheckBox* useVolumeButton_ = nullptr;
  MISegmentedControl* loopModeControl_ = nullptr;
  MICheckBox* useLoopModeButton_ = nullptr;
  MICheckBox* prerollButton_ = nullptr;
  MICheckBox* ramloadButton_ = nullptr;
  QLineEdit* ramloadTextField_ = nullptr;
  MICheckBox* ramloadAllButton_ = nullptr;
  MICheckBox* useBpmSyncButton_ = nullptr;
  QLineEdit* bpmTextField_ = nullptr;
  QLineEdit* durationInMeasuresTextField_ = nullptr;
  MICheckBox* useQtzResButton_ = nullptr;
  QLineEdit* qtzHozResTextField_ = nullptr;
  QLineEdit* qtzVertResTextField_ = nullptr;
  MICheckBox* useStyleButton_ = nullptr;
  QComboBox* textStylePopUpButton_ = nullptr;
  QLabel* textStyleField_ = nullptr;
  MICheckBox* cacheImageButton_ = nullptr;
  QLabel* cacheImageTextField_ = nullptr;

  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::shared_ptr<class QKSliderCellDelegate> sliderDelegate_;
  MISerialQueue preRollQueue_;
};

#include "app/inspector/QKMIMoviePropertiesController.h"

#include "app/inspector/MICheckBox.h"
#include "app/inspector/MIPropValues.h"
#include "app/inspector/MISegmentedControl.h"
#include "app/inspector/MediaInspector.h"
#include "app/inspector/QKMIPrerollOperation.h"
#include "app/inspector/QKMIRangeSelectorController.h"
#include "app/inspector/QKMITimeWarpView.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/SliderSettingsDelegate.h"
#include "framework/media/CompositorInterface.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKImageFile.h"
#include "framework/media/QKQTFile.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSizeF>

#include <cmath>

namespace P = MovieProps;
using MIProps::flag;
using MIProps::number;

namespace {

const QString kPropsUpdated = QStringLiteral("QKFileMoviePropsUpdatedNotification");
const QString kUseStyle = QStringLiteral("useStyle");
const QString kStyleName = QStringLiteral("styleName");
const QString kUseCustomRes = QStringLiteral("useCustomResForQtz");
const QString kHorRes = QStringLiteral("qtzHorRes");
const QString kVertRes = QStringLiteral("qtzVertRes");
const QString kCacheImage = QStringLiteral("cacheImage");

bool isMovie(const QKFile& file) { return file.qkFileType() == QKFile::kMovieKind; }
bool isComposition(const QKFile& file) { return file.qkFileType() == QKFile::kCompositionKind; }
bool isText(const QKFile& file) { return file.qkFileType() == QKFile::kTextKind; }
bool isImage(const QKFile& file) { return file.qkFileType() == QKFile::kImageKind; }
bool isRendered(const QKFile& file) { return isComposition(file) || isText(file) || isImage(file); }

// Counts a flag over the files of the relevant kinds: off, on or mixed.
struct TriState {
  int count = 0;
  int on = 0;
  void add(bool set) {
    ++count;
    on += set ? 1 : 0;
  }
  int state() const { return on == 0 ? 0 : on == count ? 1 : -1; }
};

QString printed(double value) { return QString::asprintf("%f", value); }

}  // namespace

QKMIMoviePropertiesController::QKMIMoviePropertiesController(MediaInspector* inspector,
                                                             WorkerPool& pool)
    : inspector_(inspector), preRollQueue_(pool) {
  buildViews();
}

QKMIMoviePropertiesController::~QKMIMoviePropertiesController() {
  preRollQueue_.cancelAllOperations();
  for (QKSliderControl* slider :
       {timeSlider_, static_cast<QKSliderControl*>(speedSlider_), volumeSlider_}) {
    slider->setDelegate(nullptr);
    slider->prepareToBeDeleted();
  }
  delete movieOptionsView_;
  delete qtzOptionsView_;
}

// --- Views ------------------------------------------------------------------------------------

void QKMIMoviePropertiesController::buildViews() {
  movieOptionsView_ = new QWidget;
  qtzOptionsView_ = new QWidget;
  auto* grid = new QGridLayout(movieOptionsView_);
  grid->setContentsMargins(2, 4, 2, 4);
  grid->setVerticalSpacing(2);
  auto field = [](int width) {
    auto* edit = new QLineEdit;
    edit->setFixedWidth(width * 3 / 4);
    return edit;
  };

  timeSlider_ = new QKSliderControl;
  speedSlider_ = new QKLogSliderControl;
  volumeSlider_ = new QKSliderControl;
  timeSlider_->setSliderName(QStringLiteral("Time"));
  speedSlider_->setSliderName(QStringLiteral("Speed"));
  volumeSlider_->setSliderName(QStringLiteral("Volume"));
  speedSlider_->setMinRange(-10.0f);
  speedSlider_->setMaxRange(10.0f);
  speedSlider_->setValueWithRangedValue(1.0f, false);
  for (float mark : {-2.0f, -1.0f, 0.0f, 1.0f, 2.0f})
    speedSlider_->addInterestingPoint(speedSlider_->valueForRangedValue(mark));
  speedSlider_->setFillValue(0.5f);
  volumeSlider_->setMinRange(0.0f);
  volumeSlider_->setMaxRange(1.0f);
  volumeSlider_->setValueWithRangedValue(1.0f, false);

  useTimeButton_ = new MICheckBox(QStringLiteral("Start"));
  useSpeedButton_ = new MICheckBox(QStringLiteral("Speed"));
  useVolumeButton_ = new MICheckBox(QStringLiteral("Volume"));
  useLoopModeButton_ = new MICheckBox(QStringLiteral("Loop"));
  timeTextField_ = field(70);
  speedTextField_ = field(70);
  volumeTextField_ = field(70);
  loopModeControl_ = new MISegmentedControl(
      {QStringLiteral("Once"), QStringLiteral("Loop"), QStringLiteral("B&&F")});
  loopModeControl_->setToolTip(QStringLiteral("Once, loop, or back and forth"));
  prerollButton_ = new MICheckBox(QStringLiteral("Pre-roll"));
  ramloadButton_ = new MICheckBox(QStringLiteral("RAM"));
  ramloadAllButton_ = new MICheckBox(QStringLiteral("All"));
  ramloadTextField_ = field(50);
  useBpmSyncButton_ = new MICheckBox(QStringLiteral("BPM sync"));
  bpmTextField_ = field(70);
  durationInMeasuresTextField_ = field(70);
  qtLiveUpdatingButton_ = new MICheckBox(QStringLiteral("Live updating"));
  resolutionTextField_ = new QLabel;

  grid->setHorizontalSpacing(3);
  int row = 0;
  auto addRow = [&](QWidget* a, QWidget* b, QWidget* c = nullptr) {
    grid->addWidget(a, row, 0);
    if (b) grid->addWidget(b, row, 1, 1, c ? 1 : 2);
    if (c) grid->addWidget(c, row, 2);
    ++row;
  };
  addRow(useTimeButton_, timeSlider_, timeTextField_);
  addRow(useSpeedButton_, speedSlider_, speedTextField_);
  addRow(useVolumeButton_, volumeSlider_, volumeTextField_);
  addRow(useLoopModeButton_, loopModeControl_);
  addRow(prerollButton_, qtLiveUpdatingButton_);
  addRow(ramloadButton_, ramloadAllButton_, ramloadTextField_);
  ramloadTextField_->setToolTip(QStringLiteral("Frames kept in memory"));
  addRow(useBpmSyncButton_, new QLabel(QStringLiteral("BPM")), bpmTextField_);
  addRow(new QWidget, new QLabel(QStringLiteral("Measures")), durationInMeasuresTextField_);
  grid->addWidget(resolutionTextField_, row++, 0, 1, 3);
  for (QKSliderControl* slider :
       {timeSlider_, static_cast<QKSliderControl*>(speedSlider_), volumeSlider_})
    slider->setMinimumSize(84, 16);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);

  auto* qtz = new QGridLayout(qtzOptionsView_);
  qtz->setContentsMargins(4, 4, 4, 4);
  useQtzResButton_ = new MICheckBox(QStringLiteral("Custom size"));
  qtzHozResTextField_ = field(50);
  qtzVertResTextField_ = field(50);
  qtzLiveUpdatingButton_ = new MICheckBox(QStringLiteral("Live updating"));
  useStyleButton_ = new MICheckBox(QStringLiteral("Use style"));
  textStylePopUpButton_ = new QComboBox;
  textStyleField_ = new QLabel(QStringLiteral("Style"));
  cacheImageButton_ = new MICheckBox(QStringLiteral("Cache image"));
  cacheImageTextField_ = new QLabel(QStringLiteral("Keeps the decoded picture in memory"));
  qtz->addWidget(useQtzResButton_, 0, 0);
  qtz->addWidget(qtzHozResTextField_, 0, 1);
  qtz->addWidget(new QLabel(QStringLiteral("x")), 0, 2);
  qtz->addWidget(qtzVertResTextField_, 0, 3);
  qtz->addWidget(qtzLiveUpdatingButton_, 1, 0, 1, 4);
  qtz->addWidget(useStyleButton_, 2, 0);
  qtz->addWidget(textStyleField_, 2, 1);
  qtz->addWidget(textStylePopUpButton_, 2, 2, 1, 2);
  qtz->addWidget(cacheImageButton_, 3, 0);
  qtz->addWidget(cacheImageTextField_, 3, 1, 1, 3);
  qtz->setRowStretch(4, 1);

  // Wiring.
  const std::weak_ptr<int> alive = alive_;
  sliderDelegate_ = std::make_shared<SliderSettingsDelegate>([this, alive](QKSliderCell& cell) {
    QKSliderCell* changed = &cell;
    MainThread::run([this, alive, changed] {
      if (!alive.lock()) return;
      for (QKSliderControl* slider :
           {timeSlider_, static_cast<QKSliderControl*>(speedSlider_), volumeSlider_})
        if (slider->cell() == changed) sliderDelegateChanged(slider);
    });
  });
  connectSlider(timeSlider_, Sender::TimeSlider);
  connectSlider(speedSlider_, Sender::SpeedSlider);
  connectSlider(volumeSlider_, Sender::VolumeSlider);
  auto onEdit = [this](QLineEdit* edit, Sender sender) {
    connect(edit, &QLineEdit::editingFinished, this, [this, sender] { parameterChanged(sender); });
  };
  onEdit(timeTextField_, Sender::TimeField);
  onEdit(speedTextField_, Sender::SpeedField);
  onEdit(volumeTextField_, Sender::VolumeField);
  onEdit(ramloadTextField_, Sender::RamloadField);
  onEdit(qtzHozResTextField_, Sender::HorResField);
  onEdit(qtzVertResTextField_, Sender::VertResField);
  connect(bpmTextField_, &QLineEdit::editingFinished, this, [this] { fileTimingChanged(true); });
  connect(durationInMeasuresTextField_, &QLineEdit::editingFinished, this,
          [this] { fileTimingChanged(false); });
  loopModeControl_->setAction([this] { parameterChanged(Sender::LoopMode); });
  connect(textStylePopUpButton_, &QComboBox::activated, this,
          [this](int) { parameterChanged(Sender::StylePopUp); });
  for (Check check :
       {Check::UseTime, Check::UseSpeed, Check::UseVolume, Check::UseLoopMode, Check::Preroll,
        Check::Ramload, Check::RamloadAll, Check::BpmSync, Check::UseQtzRes, Check::QtLive,
        Check::QtzLive, Check::CacheImage, Check::UseStyle})
    connect(checkBox(check), &QCheckBox::clicked, this, [this, check] { buttonUsed(check); });
}

void QKMIMoviePropertiesController::connectSlider(QKSliderControl* slider, Sender sender) {
  slider->setDelegate(sliderDelegate_);
  slider->setTarget(std::static_pointer_cast<void>(alive_));
  const std::weak_ptr<int> alive = alive_;
  slider->setAction([this, alive, sender](QKSliderCell&) {
    MainThread::run([this, alive, sender] {
      if (alive.lock()) parameterChanged(sender);
    });
  });
}

std::optional<QKMIMoviePropertiesController::Sender> QKMIMoviePropertiesController::senderForSlider(
    const QKSliderControl* slider) const {
  if (slider == timeSlider_) return Sender::TimeSlider;
  if (slider == speedSlider_) return Sender::SpeedSlider;
  if (slider == volumeSlider_) return Sender::VolumeSlider;
  return std::nullopt;
}

// A binding, mark, behaviour or envelope change is stored even while the
// slider follows a data source.
void QKMIMoviePropertiesController::sliderDelegateChanged(QKSliderControl* slider) {
  if (const auto sender = senderForSlider(slider)) handleParameterChanged(*sender);
}

MICheckBox* QKMIMoviePropertiesController::checkBox(Check check) const {
  switch (check) {
    case Check::UseTime:
      return useTimeButton_;
    case Check::UseSpeed:
      return useSpeedButton_;
    case Check::UseVolume:
      return useVolumeButton_;
    case Check::UseLoopMode:
      return useLoopModeButton_;
    case Check::Preroll:
      return prerollButton_;
    case Check::Ramload:
      return ramloadButton_;
    case Check::RamloadAll:
      return ramloadAllButton_;
    case Check::BpmSync:
      return useBpmSyncButton_;
    case Check::UseQtzRes:
      return useQtzResButton_;
    case Check::QtLive:
      return qtLiveUpdatingButton_;
    case Check::QtzLive:
      return qtzLiveUpdatingButton_;
    case Check::CacheImage:
      return cacheImageButton_;
    case Check::UseStyle:
      return useStyleButton_;
  }
  return nullptr;
}

// --- Showing the selection ---------------------------------------------------------------------

void QKMIMoviePropertiesController::updateSelection() {
  timeSlider_->unlockMe();
  TriState liveQt, liveQtz, useTime, useSpeed, useVolume, useLoop, bpmSync, preroll, ramload,
      ramloadAll, useRes, cacheImage, useStyle;
  int movies = 0;
  int texts = 0;
  int images = 0;
  int ramloadOn = 0;
  double tempo = 0.0;
  double measures = 0.0;
  std::optional<double> start, speed, volume;
  int loopSegment = 2;
  int ramFrames = 10;
  int hor = 320;
  int vert = 240;
  QString style;
  std::optional<QVariantMap> timeSnap, speedSnap, volumeSnap;
  std::shared_ptr<QKFile> lastMovie;

  for (const std::shared_ptr<QKFile>& file : inspector_->inspectedFiles()) {
    const QVariantMap* pending = inspector_->pendingPropsFor(*file);
    const QVariantMap props = pending ? *pending : file->movieProps();
    if (isMovie(*file)) {
      ++movies;
      lastMovie = file;
      liveQt.add(MIProps::boolValue(props, P::kAllowLiveUpdating));
      useTime.add(flag(props, P::kUseMovieTime) == 1);
      useSpeed.add(flag(props, P::kUseMovieSpeed) == 1);
      useVolume.add(flag(props, P::kUseMovieVolume) == 1);
      useLoop.add(flag(props, P::kUseMovieLoopMode) == 1);
      bpmSync.add(flag(props, P::kBpmSyncOnOff) == 1);
      // A movie without the key pre-rolls when applied, so it shows as on.
      preroll.add(!props.contains(P::kDoMoviePreroll) || flag(props, P::kDoMoviePreroll) == 1);
      ramload.add(flag(props, P::kRamload) == 1);
      ramloadAll.add(flag(props, P::kRamloadAll) == 1);
      ramloadOn += flag(props, P::kRamload) == 1 ? 1 : 0;
      if (auto v = number(props, P::kBeatsPerMinute)) tempo = *v;
      if (auto v = number(props, P::kDurationInMeasures)) measures = *v;
      if (flag(props, P::kUseMovieTime) == 1)
        if (auto v = number(props, P::kStartTime)) start = *v;
      if (flag(props, P::kUseMovieSpeed) == 1)
        if (auto v = number(props, P::kSpeed)) speed = *v;
      if (flag(props, P::kUseMovieVolume) == 1)
        if (auto v = number(props, P::kVolume)) volume = *v;
      if (auto v = number(props, P::kLoopMode)) loopSegment = int(*v);
      if (auto v = number(props, P::kRamloadDurationInFrames)) ramFrames = int(*v);
      if (auto m = MIProps::map(props, P::kTimeSlider)) timeSnap = *m;
      if (auto m = MIProps::map(props, P::kSpeedSlider)) speedSnap = *m;
      if (auto m = MIProps::map(props, P::kVolumeSlider)) volumeSnap = *m;
    }
    if (isRendered(*file)) {
      liveQtz.add(MIProps::boolValue(props, P::kAllowLiveUpdating));
      useRes.add(flag(props, kUseCustomRes) == 1);
      if (auto v = number(props, kHorRes)) hor = int(*v);
      if (auto v = number(props, kVertRes)) vert = int(*v);
    }
    if (isText(*file) || isImage(*file)) {
      useStyle.add(flag(props, kUseStyle) == 1);
      if (props.value(kStyleName).typeId() == QMetaType::QString)
        style = props.value(kStyleName).toString();
      texts += isText(*file) ? 1 : 0;
    }
    if (isImage(*file)) {
      ++images;
      cacheImage.add(flag(props, kCacheImage) == 1);
    }
  }

  bpmTextField_->setText(printed(tempo));
  durationInMeasuresTextField_->setText(printed(measures));
  qtLiveUpdatingButton_->setState(liveQt.state());
  qtzLiveUpdatingButton_->setState(liveQtz.state());

  auto showValue = [](MICheckBox* box, int state, QKSliderControl* slider, QLineEdit* edit,
                      std::optional<double> value) {
    box->setState(state);
    slider->setEnabled(state != 0);
    edit->setReadOnly(state == 0);
    edit->setEnabled(state != 0);
    if (state != 0 && value) edit->setText(printed(*value));
  };
  showValue(useTimeButton_, useTime.state(), timeSlider_, timeTextField_, start);
  if (movies == 1 && inspector_->inspectedFiles().size() == 1 && rangeController_) {
    rangeController_->timeSlider()->lockThisSliderToMe(timeSlider_->cellPtr());
  }
  if (movies == 1 && inspector_->inspectedFiles().size() == 1) {
    const QVariantMap props = lastMovie->movieProps();
    const QKTime duration = P::time(props.value(P::kOriginalDuration));
    const QSizeF size = MIProps::size(props, P::kResolution);
    const qint64 seconds = duration.scale > 0 ? duration.value / duration.scale : 0;
    resolutionTextField_->setText(QString::asprintf("Duration:\n%f seconds\nDimensions:\n%ld x %ld",
                                                    double(seconds), long(size.width()),
                                                    long(size.height())));
    resolutionTextField_->show();
  } else {
    resolutionTextField_->hide();
    timeSlider_->unlockMe();
  }
  if (timeSnap) timeSlider_->loadSnapshot(*timeSnap);
  showValue(useSpeedButton_, useSpeed.state(), speedSlider_, speedTextField_, speed);
  showValue(useVolumeButton_, useVolume.state(), volumeSlider_, volumeTextField_, volume);
  if (speedSnap) speedSlider_->loadSnapshot(*speedSnap);
  if (volumeSnap) volumeSlider_->loadSnapshot(*volumeSnap);

  useLoopModeButton_->setState(useLoop.state());
  loopModeControl_->setEnabled(useLoop.state() != 0);
  if (movies > 0) loopModeControl_->setSelectedSegment(loopSegment);
  useBpmSyncButton_->setState(bpmSync.state());
  prerollButton_->setState(preroll.state());

  ramloadButton_->setState(ramload.state());
  ramloadAllButton_->setEnabled(ramload.state() != 0);
  ramloadAllButton_->setState(ramloadAll.state());
  ramloadTextField_->setReadOnly(!(ramloadOn > 0 && ramloadAll.state() != 1));
  ramloadTextField_->setText(QString::number(ramFrames));

  qtzHozResTextField_->setText(QString::number(hor));
  qtzVertResTextField_->setText(QString::number(vert));
  useQtzResButton_->setState(useRes.state());

  refreshStyleMenu(images > 0, texts > 0);
  if (!style.isEmpty()) {
    const int index = textStylePopUpButton_->findText(style);
    if (index >= 0) textStylePopUpButton_->setCurrentIndex(index);
  }
  const bool styled = texts > 0 || images > 0;
  useStyleButton_->setVisible(styled);
  textStylePopUpButton_->setVisible(styled);
  textStyleField_->setVisible(styled);
  cacheImageButton_->setVisible(images > 0);
  cacheImageTextField_->setVisible(images > 0);
  cacheImageButton_->setState(cacheImage.state());
  useStyleButton_->setState(useStyle.state());
}

void QKMIMoviePropertiesController::refreshStyleMenu(bool images, bool texts) {
  if (!images && !texts) return;
  CompositorInterface* compositor = nullptr;
  for (const auto& file : inspector_->inspectedFiles())
    if (file->compositor()) compositor = file->compositor();
  const QStringList names = !compositor ? QStringList()
                            : images    ? compositor->imageSourcesNames()
                                        : compositor->fontSynthNames();
  textStylePopUpButton_->clear();
  textStylePopUpButton_->addItems(names);
  textStylePopUpButton_->setToolTip(
      !names.isEmpty() ? QString()
      : images ? QStringLiteral("There are no valid QTZ images sources in the image sources folder")
               : QStringLiteral("There are no valid QTZ text sources in the fontsynths folder"));
}

// --- Edits --------------------------------------------------------------------------------------

void QKMIMoviePropertiesController::parameterChanged(Sender sender) {
  if (inspector_->inspectedFiles().empty()) return;
  switch (sender) {
    case Sender::TimeSlider:
      if (timeSlider_->cell()->syncFlag()) return;
      break;
    case Sender::SpeedSlider:
      if (speedSlider_->cell()->syncFlag()) return;
      break;
    case Sender::VolumeSlider:
      if (rangeController_) rangeController_->setVolume(volumeSlider_);
      if (volumeSlider_->cell()->syncFlag()) return;
      break;
    default:
      break;
  }
  handleParameterChanged(sender);
}

std::optional<float> QKMIMoviePropertiesController::fieldFloat(QLineEdit* field) const {
  bool ok = false;
  const float value = field->text().trimmed().toFloat(&ok);
  if (ok && std::isfinite(value)) return value;
  Log::line(QStringLiteral("\t\terr: inspector: \"%1\" is not a number; the value is kept")
                .arg(field->text()));
  return std::nullopt;
}

void QKMIMoviePropertiesController::handleParameterChanged(Sender sender) {
  auto fromField = [this](QLineEdit* field, QKSliderControl* slider) -> std::optional<float> {
    const auto value = fieldFloat(field);
    if (!value) return std::nullopt;
    slider->cell()->setSyncFlag(false);
    slider->setValueWithRangedValue(*value, true);
    return value;
  };
  auto intField = [](QLineEdit* field) -> std::optional<int> {
    bool ok = false;
    const int value = field->text().trimmed().toInt(&ok);
    if (ok && value >= 0) return value;
    Log::line(
        QStringLiteral("\t\terr: inspector: \"%1\" is not a size in pixels; the value is kept")
            .arg(field->text()));
    return std::nullopt;
  };
  switch (sender) {
    case Sender::TimeSlider:
      timeTextField_->setText(printed(timeSlider_->cell()->rangedValue()));
      return writeValue(sender, P::kUseMovieTime, P::kTimeSlider, timeSlider_->createSnapshot());
    case Sender::TimeField:
      if (auto v = fromField(timeTextField_, timeSlider_))
        writeValue(sender, P::kUseMovieTime, P::kStartTime, double(*v));
      return;
    case Sender::SpeedSlider:
      speedTextField_->setText(printed(speedSlider_->cell()->rangedValue()));
      return writeValue(sender, P::kUseMovieSpeed, P::kSpeedSlider, speedSlider_->createSnapshot());
    case Sender::SpeedField:
      if (auto v = fromField(speedTextField_, speedSlider_))
        writeValue(sender, P::kUseMovieSpeed, P::kSpeed, double(*v));
      return;
    case Sender::VolumeSlider:
      volumeTextField_->setText(printed(volumeSlider_->cell()->rangedValue()));
      return writeValue(sender, P::kUseMovieVolume, P::kVolumeSlider,
                        volumeSlider_->createSnapshot());
    case Sender::VolumeField:
      if (auto v = fromField(volumeTextField_, volumeSlider_))
        writeValue(sender, P::kUseMovieVolume, P::kVolume, double(*v));
      return;
    case Sender::LoopMode:
      if (loopModeControl_->selectedSegment() < 0) return;
      writeValue(sender, P::kUseMovieLoopMode, P::kLoopMode, loopModeControl_->selectedSegment());
      if (rangeController_) rangeController_->loopModeControlUsed(loopModeControl_);
      return;
    case Sender::RamloadField:
      return writeRamloadRange();
    case Sender::HorResField:
      if (auto v = intField(qtzHozResTextField_)) writeValue(sender, {}, kHorRes, *v);
      return;
    case Sender::VertResField:
      if (auto v = intField(qtzVertResTextField_)) writeValue(sender, {}, kVertRes, *v);
      return;
    case Sender::StylePopUp:
      // No style to choose: nothing is written (never an empty or stale title).
      if (textStylePopUpButton_->currentIndex() < 0) return;
      writeValue(sender, {}, kStyleName, textStylePopUpButton_->currentText());
      if (qcController_) {
        qcController_->storeParamsForSelectedFiles();
        qcController_->readFile(qcController_->currentFile());
      }
      return;
  }
}

void QKMIMoviePropertiesController::writeValue(Sender sender, const QString& useKey,
                                               const QString& valueKey, const QVariant& value) {
  const bool resolution = sender == Sender::HorResField || sender == Sender::VertResField;
  for (const std::shared_ptr<QKFile>& file : inspector_->inspectedFiles()) {
    QVariantMap* pending = inspector_->pendingPropsFor(*file);
    if (!pending) continue;
    bool takes = false;
    if (isMovie(*file))
      takes = !resolution && sender != Sender::StylePopUp &&
              (useKey.isEmpty() || flag(*pending, useKey) == 1);
    else if (isComposition(*file))
      takes = resolution;
    else if (isText(*file) || isImage(*file))
      takes = resolution || sender == Sender::StylePopUp;
    if (takes) pending->insert(valueKey, value);
  }
}

void QKMIMoviePropertiesController::writeRamloadRange() {
  bool ok = false;
  const int frames = ramloadTextField_->text().trimmed().toInt(&ok);
  if (!ok || frames < 0) {
    Log::line(
        QStringLiteral("\t\terr: inspector: \"%1\" is not a number of frames; the value is kept")
            .arg(ramloadTextField_->text()));
    return;
  }
  for (const std::shared_ptr<QKFile>& file : inspector_->inspectedFiles()) {
    QVariantMap* pending = inspector_->pendingPropsFor(*file);
    if (!pending || !isMovie(*file)) continue;
    const QKTimeRange active = P::range(file->movieProp(P::kActive));
    QKTimeRange range;
    if (flag(*pending, P::kRamload) != 1) {
      range = {active.start, QKTime{0, active.duration.scale, 0}};
    } else if (flag(*pending, P::kRamloadAll) == 1) {
      range = {QKTime{0, active.start.scale, 0}, P::time(pending->value(P::kDuration))};
    } else {
      const double rate = number(*pending, P::kOriginalFrameRate).value_or(0.0);
      const float fps = rate > 0.0 ? float(rate) : 30.0f;
      pending->insert(P::kRamloadDurationInFrames, frames);
      const auto value = int64_t(float(frames) * float(active.duration.scale) / fps);
      range = {active.start, QKTime{value, active.duration.scale, 0}};
    }
    pending->insert(P::kRamloadRange, P::fromRange(range));
  }
}

void QKMIMoviePropertiesController::buttonUsed(Check check) {
  MICheckBox* box = checkBox(check);
  int state = box->state();
  if (state < 0) {
    box->setState(1);
    state = 1;
  }
  std::vector<Sender> replay;
  QString key;
  switch (check) {
    case Check::UseTime:
      key = P::kUseMovieTime;
      timeSlider_->setEnabled(state);
      timeTextField_->setEnabled(state);
      timeTextField_->setReadOnly(!state);
      replay = {Sender::TimeSlider};
      break;
    case Check::UseSpeed:
      key = P::kUseMovieSpeed;
      speedSlider_->setEnabled(state);
      speedTextField_->setEnabled(state);
      speedTextField_->setReadOnly(!state);
      replay = {Sender::SpeedSlider};
      break;
    case Check::UseVolume:
      key = P::kUseMovieVolume;
      volumeSlider_->setEnabled(state);
      volumeTextField_->setEnabled(state);
      volumeTextField_->setReadOnly(!state);
      replay = {Sender::VolumeSlider};
      break;
    case Check::UseLoopMode:
      key = P::kUseMovieLoopMode;
      loopModeControl_->setEnabled(state);
      replay = {Sender::LoopMode};
      break;
    case Check::Preroll:
      key = P::kDoMoviePreroll;
      break;
    case Check::Ramload:
      key = P::kRamload;
      ramloadAllButton_->setEnabled(state);
      if (ramloadAllButton_->state() != 1) ramloadTextField_->setReadOnly(!state);
      replay = {Sender::RamloadField};
      break;
    case Check::RamloadAll:
      key = P::kRamloadAll;
      ramloadTextField_->setReadOnly(!(state != 1 && ramloadButton_->state() != 0));
      replay = {Sender::RamloadField};
      break;
    case Check::BpmSync:
      key = P::kBpmSyncOnOff;
      break;
    case Check::UseQtzRes:
      key = kUseCustomRes;
      replay = {Sender::HorResField, Sender::VertResField};
      break;
    case Check::QtLive:
    case Check::QtzLive:
      key = P::kAllowLiveUpdating;
      break;
    case Check::CacheImage:
      key = kCacheImage;
      break;
    case Check::UseStyle:
      key = kUseStyle;
      replay = {Sender::StylePopUp};
      break;
  }
  if (inspector_->inspectedFiles().empty()) return;
  writeFlag(key, state);
  for (Sender sender : replay) parameterChanged(sender);
}

void QKMIMoviePropertiesController::writeFlag(const QString& key, int state) {
  for (const std::shared_ptr<QKFile>& file : inspector_->inspectedFiles())
    if (QVariantMap* pending = inspector_->pendingPropsFor(*file)) pending->insert(key, state);
}

// --- Tempo and length ---------------------------------------------------------------------------

void QKMIMoviePropertiesController::fileTimingChanged(bool fromTempo) {
  if (inspector_->inspectedFiles().empty()) return;
  QLineEdit* source = fromTempo ? bpmTextField_ : durationInMeasuresTextField_;
  const auto entered = fieldFloat(source);
  if (!entered) return;
  if (*entered <= 0.0f) {
    Log::line(QStringLiteral("\t\terr: inspector: a %1 must be above 0; the value is kept")
                  .arg(fromTempo ? QStringLiteral("tempo") : QStringLiteral("length")));
    return;
  }
  std::optional<float> shown;
  bool differ = false;
  for (const std::shared_ptr<QKFile>& file : inspector_->inspectedFiles()) {
    QVariantMap* pending = inspector_->pendingPropsFor(*file);
    // Only a movie has a range to measure; an empty range has no tempo.
    if (!pending || !isMovie(*file)) continue;
    const QKTime duration = P::range(pending->value(P::kActive)).duration;
    if (duration.scale <= 0 || duration.value <= 0) continue;
    const float seconds = float(duration.value) / float(duration.scale);
    const float tempo = fromTempo ? *entered : *entered * 240.0f / seconds;
    const float measures = fromTempo ? seconds / (240.0f / *entered) : *entered;
    pending->insert(P::kBeatsPerMinute, double(tempo));
    pending->insert(P::kDurationInMeasures, double(measures));
    const float other = fromTempo ? measures : tempo;
    if (shown && *shown != other) differ = true;
    shown = other;
  }
  if (timeWarpView_ && timeWarpView_->currentFile()) {
    timeWarpView_->prepareTimeGridPaths();
    timeWarpView_->updateWarpMarkers();
  }
  if (!shown) return;
  QLineEdit* other = fromTempo ? durationInMeasuresTextField_ : bpmTextField_;
  other->setText(differ ? QStringLiteral("xx") : printed(*shown));
}

// --- Apply
// -----------------------------------------------------------------------------------------

bool QKMIMoviePropertiesController::validProps(const QVariantMap& props, QString* reason) {
  return MIProps::validate(props, reason);
}

void QKMIMoviePropertiesController::storeParamsForSelectedFiles() {
  for (const std::shared_ptr<QKFile>& file : inspector_->inspectedFiles()) {
    const QVariantMap* pending = inspector_->pendingPropsFor(*file);
    if (!pending) continue;
    // Only the edits are checked: a value stored long ago that is not what
    // the pane writes (read as absent when shown) does not block them.
    const QVariantMap stored = file->movieProps();
    QVariantMap edits;
    for (auto it = pending->cbegin(); it != pending->cend(); ++it)
      if (!stored.contains(it.key()) || stored.value(it.key()) != it.value())
        edits.insert(it.key(), it.value());
    QString reason;
    if (!validProps(edits, &reason)) {
      Log::line(QStringLiteral("\t\terr: inspector: the settings of \"%1\" were not applied: %2")
                    .arg(file->name(), reason));
      continue;
    }
    storeFile(file, *pending);
  }
}

void QKMIMoviePropertiesController::storeFile(const std::shared_ptr<QKFile>& file,
                                              const QVariantMap& pending) {
  QVariantMap merged = file->movieProps();
  for (auto it = pending.cbegin(); it != pending.cend(); ++it) merged.insert(it.key(), it.value());
  if (auto movie = std::dynamic_pointer_cast<QKQTFile>(file)) {
    if (pending.contains(P::kRamloadRange))
      movie->setRamloadRange(P::range(pending.value(P::kRamloadRange)));
    movie->setMovieProps(merged);
    const bool preroll =
        !merged.contains(P::kDoMoviePreroll) || flag(merged, P::kDoMoviePreroll) == 1;
    if (preroll && !movie->visualContext()) {
      preRollQueue_.addOperation(QKMIPrerollOperation::initWithQTFile(movie));
    } else if (!preroll && (movie->movieFile() || movie->visualContext())) {
      const std::weak_ptr<QKQTFile> weak = movie;
      MainThread::post([weak] {
        if (auto alive = weak.lock()) alive->unPreRollOnMainThread();
      });
    }
  } else if (auto image = std::dynamic_pointer_cast<QKImageFile>(file)) {
    image->setMovieProps(merged);
    image->prepareImageCacheIfNeeded();
  } else {
    file->setMovieProps(merged);
  }
  NotificationCenter::defaultCenter().post(kPropsUpdated, static_cast<QKFile*>(file.get()));
}

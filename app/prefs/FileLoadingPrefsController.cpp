#include "app/prefs/FileLoadingPrefsController.h"

#include "app/inspector/MICheckBox.h"
#include "app/inspector/MISegmentedControl.h"
#include "app/prefs/PrefsController.h"
#include "app/prefs/PrefsDefaults.h"
#include "app/prefs/PrefsHost.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/SliderSettingsDelegate.h"
#include "framework/media/QKURLFile.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

QString printed(double value) { return QString::asprintf("%f", value); }
QString printedInteger(qint64 value) { return QString::asprintf("%lld", value); }

enum class Type { Number, String, Dictionary };

bool present(const QString& key, Type type) {
  switch (type) {
    case Type::Number:
      return PrefsDefaults::hasNumber(key);
    case Type::String:
      return PrefsDefaults::hasString(key);
    case Type::Dictionary:
      return PrefsDefaults::hasDictionary(key);
  }
  return false;
}

std::optional<qint64> storedInteger(const QString& key) { return PrefsDefaults::integer(key); }

// The keys written when absent, in order; the style and slider keys take
// their values from the pane's controls.
struct AbsentDefault {
  const char* key;
  int value;
};
constexpr AbsentDefault kFlagsAndNumbers[] = {
    {"useMovieTimeDefault", 0},
    {"useMovieSpeedDefault", 0},
    {"useMovieVolumeDefault", 0},
    {"useMovieLoopModeDefault", 0},
    {"doMoviePrerollDefault", 0},
    {"ramloadDefault", 0},
    {"ramloadAllDefault", 0},
    {"bpmSyncOnOffDefault", 0},
    {"useCustomResForQtzDefault", 1},
    {"useCustomResForTextDefault", 1},
    {"useCustomResForImageDefault", 1},
    {"qtAllowLiveUpdatingDefault", 1},
    {"qtzAllowLiveUpdatingDefault", 1},
    {"textAllowLiveUpdatingDefault", 1},
    {"imageAllowLiveUpdatingDefault", 1},
    {"loopModeDefault", 1},
    {"ramloadRangeDefault", 1},
    {"qtzHorResDefault", 640},
    {"qtzVertResDefault", 480},
    {"textHorResDefault", 640},
    {"textVertResDefault", 480},
};
constexpr AbsentDefault kWebAndImages[] = {
    {"loadThumbnailsForRemoteURLFilesDefault", 0},
    {"useCustomResForURLDefault", 1},
    {"urlHorResDefault", 640},
    {"urlVertResDefault", 480},
};
constexpr AbsentDefault kImageNumbers[] = {
    {"cacheImagesDefault", 0},
    {"maxImageCacheSizeDefault", 1280},
    {"imageHorResDefault", 640},
    {"imageVertResDefault", 480},
};
const QString kUrlStringKey = QStringLiteral("urlStringDefault");
const QString kUrlStringValue = QStringLiteral("about:blank");
const QString kTextStyleKey = QStringLiteral("textFileStyleNameDefault");
const QString kImageStyleKey = QStringLiteral("imageFileStyleNameDefault");

void writeAbsent(const AbsentDefault& entry) {
  const QString key = QLatin1String(entry.key);
  if (!present(key, Type::Number)) UserDefaults::standard().setValue(key, entry.value);
}

}  // namespace

FileLoadingPrefsController::FileLoadingPrefsController(PrefsController* prefsController,
                                                       QWidget* parent)
    : QWidget(parent), prefsController_(prefsController) {
  setObjectName(QStringLiteral("File Loading"));
  buildControls();
  buildTables();
  connectControls();
}

FileLoadingPrefsController::~FileLoadingPrefsController() {
  for (QKSliderControl* slider :
       {timeSlider_, static_cast<QKSliderControl*>(speedSlider_), volumeSlider_}) {
    slider->setDelegate(nullptr);
    slider->prepareToBeDeleted();
  }
}

// --- Controls ---------------------------------------------------------------------------------

void FileLoadingPrefsController::buildControls() {
  auto newField = [this](const QString& name, int width) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setFixedWidth(width);
    fields_.emplace_back(name, edit);
    return edit;
  };
  auto newBox = [this](const QString& name, const QString& title) {
    auto* box = new MICheckBox(title);
    box->setObjectName(name);
    boxes_.emplace_back(name, box);
    return box;
  };
  auto newPage = [](QTabWidget* tabs, const QString& title) {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(4);
    tabs->addTab(page, title);
    return grid;
  };
  auto sizeRow = [&](QGridLayout* grid, int row, MICheckBox* box, QLineEdit* w, QLineEdit* h) {
    grid->addWidget(box, row, 0);
    auto* pair = new QHBoxLayout;
    pair->addWidget(w);
    pair->addWidget(new QLabel(QStringLiteral("x")));
    pair->addWidget(h);
    pair->addStretch(1);
    grid->addLayout(pair, row, 1, 1, 2);
  };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* tabs = new QTabWidget(this);
  layout->addWidget(tabs);

  // Movies.
  QGridLayout* movies = newPage(tabs, QStringLiteral("Movies"));
  timeSlider_ = new QKSliderControl;
  speedSlider_ = new QKLogSliderControl;
  volumeSlider_ = new QKSliderControl;
  for (QKSliderControl* slider :
       {timeSlider_, static_cast<QKSliderControl*>(speedSlider_), volumeSlider_})
    slider->setMinimumSize(120, 16);
  int row = 0;
  auto sliderRow = [&](MICheckBox* box, QKSliderControl* slider, QLineEdit* edit) {
    movies->addWidget(box, row, 0);
    movies->addWidget(slider, row, 1);
    movies->addWidget(edit, row, 2);
    ++row;
  };
  sliderRow(newBox(QStringLiteral("useTimeButton"), QStringLiteral("Start time")), timeSlider_,
            newField(QStringLiteral("timeTextField"), 70));
  sliderRow(newBox(QStringLiteral("useSpeedButton"), QStringLiteral("Speed")), speedSlider_,
            newField(QStringLiteral("speedTextField"), 70));
  sliderRow(newBox(QStringLiteral("useVolumeButton"), QStringLiteral("Volume")), volumeSlider_,
            newField(QStringLiteral("volumeTextField"), 70));
  loopModeControl_ = new MISegmentedControl(
      {QStringLiteral("Once"), QStringLiteral("Loop"), QStringLiteral("B&&F")});
  loopModeControl_->setToolTip(QStringLiteral("Play once, loop, or loop back and forth"));
  movies->addWidget(newBox(QStringLiteral("useLoopModeButton"), QStringLiteral("Loop mode")), row,
                    0);
  movies->addWidget(loopModeControl_, row++, 1, 1, 2);
  movies->addWidget(newBox(QStringLiteral("prerollButton"), QStringLiteral("Pre-roll")), row, 0);
  movies->addWidget(newBox(QStringLiteral("qtLiveUpdatingButton"), QStringLiteral("Live updating")),
                    row++, 1);
  movies->addWidget(newBox(QStringLiteral("ramloadButton"), QStringLiteral("RAM load")), row, 0);
  auto* ram = new QHBoxLayout;
  ram->addWidget(newField(QStringLiteral("ramloadTextField"), 60));
  ram->addWidget(new QLabel(QStringLiteral("frames")));
  ram->addWidget(newBox(QStringLiteral("ramloadAllButton"), QStringLiteral("All")));
  ram->addStretch(1);
  movies->addLayout(ram, row++, 1, 1, 2);
  movies->addWidget(newBox(QStringLiteral("useBpmSyncButton"), QStringLiteral("BPM sync")), row, 0);
  auto* bpm = new QHBoxLayout;
  bpm->addWidget(newField(QStringLiteral("bpmTextField"), 60));
  bpm->addWidget(new QLabel(QStringLiteral("BPM")));
  bpm->addStretch(1);
  movies->addLayout(bpm, row++, 1, 1, 2);
  movies->setColumnStretch(1, 1);
  movies->setRowStretch(row, 1);

  // Compositions and text files.
  QGridLayout* qtz = newPage(tabs, QStringLiteral("QTZ && Text"));
  qtz->addWidget(new QLabel(QStringLiteral("Compositions")), 0, 0, 1, 3);
  sizeRow(qtz, 1, newBox(QStringLiteral("useQtzResButton"), QStringLiteral("Size")),
          newField(QStringLiteral("qtzHozResTextField"), 60),
          newField(QStringLiteral("qtzVertResTextField"), 60));
  qtz->addWidget(newBox(QStringLiteral("qtzLiveUpdatingButton"), QStringLiteral("Live updating")),
                 2, 0, 1, 3);
  qtz->addWidget(new QLabel(QStringLiteral("Text files")), 3, 0, 1, 3);
  sizeRow(qtz, 4, newBox(QStringLiteral("useTextResButton"), QStringLiteral("Size")),
          newField(QStringLiteral("textHozResTextField"), 60),
          newField(QStringLiteral("textVertResTextField"), 60));
  textStylePopUpButton_ = new QComboBox;
  textStylePopUpButton_->setObjectName(QStringLiteral("textStylePopUpButton"));
  qtz->addWidget(newBox(QStringLiteral("useTextStyleButton"), QStringLiteral("Style")), 5, 0);
  qtz->addWidget(textStylePopUpButton_, 5, 1, 1, 2);
  qtz->addWidget(newBox(QStringLiteral("textLiveUpdatingButton"), QStringLiteral("Live updating")),
                 6, 0, 1, 3);
  qtz->setColumnStretch(2, 1);
  qtz->setRowStretch(7, 1);

  // Web pages and images.
  QGridLayout* web = newPage(tabs, QStringLiteral("Web && Images"));
  web->addWidget(new QLabel(QStringLiteral("Web pages")), 0, 0, 1, 3);
  sizeRow(web, 1, newBox(QStringLiteral("useURLResButton"), QStringLiteral("Size")),
          newField(QStringLiteral("urlHozResTextField"), 60),
          newField(QStringLiteral("urlVertResTextField"), 60));
  web->addWidget(new QLabel(QStringLiteral("Address")), 2, 0);
  QLineEdit* address = newField(QStringLiteral("urlStringTextField"), 220);
  address->setMinimumWidth(160);
  address->setMaximumWidth(QWIDGETSIZE_MAX);
  web->addWidget(address, 2, 1, 1, 2);
  web->addWidget(newBox(QStringLiteral("createThumbsForRemoteFilesButton"),
                        QStringLiteral("Thumbnails for remote pages")),
                 3, 0, 1, 3);
  web->addWidget(new QLabel(QStringLiteral("Images")), 4, 0, 1, 3);
  sizeRow(web, 5, newBox(QStringLiteral("useImageResButton"), QStringLiteral("Size")),
          newField(QStringLiteral("imageHozResTextField"), 60),
          newField(QStringLiteral("imageVertResTextField"), 60));
  web->addWidget(newBox(QStringLiteral("cacheImagesButton"), QStringLiteral("Cache up to")), 6, 0);
  auto* cache = new QHBoxLayout;
  cache->addWidget(newField(QStringLiteral("maxImageCacheSizeTextField"), 60));
  cache->addWidget(new QLabel(QStringLiteral("pixels")));
  cache->addStretch(1);
  web->addLayout(cache, 6, 1, 1, 2);
  imageStylePopUpButton_ = new QComboBox;
  imageStylePopUpButton_->setObjectName(QStringLiteral("imageStylePopUpButton"));
  web->addWidget(newBox(QStringLiteral("useImageStyleButton"), QStringLiteral("Style")), 7, 0);
  web->addWidget(imageStylePopUpButton_, 7, 1, 1, 2);
  web->addWidget(newBox(QStringLiteral("imageLiveUpdatingButton"), QStringLiteral("Live updating")),
                 8, 0, 1, 3);
  web->setColumnStretch(2, 1);
  web->setRowStretch(9, 1);
}

QLineEdit* FileLoadingPrefsController::field(const QString& name) const {
  for (const auto& [fieldName, edit] : fields_)
    if (fieldName == name) return edit;
  return nullptr;
}

MICheckBox* FileLoadingPrefsController::checkBox(const QString& name) const {
  for (const auto& [boxName, box] : boxes_)
    if (boxName == name) return box;
  return nullptr;
}

// What each control stores, and what each check box gates and enables.
void FileLoadingPrefsController::buildTables() {
  const auto f = [this](const char* name) { return field(QLatin1String(name)); };
  const auto size = [](const char* name) { return PrefsNumberRule::size(QLatin1String(name)); };
  const auto number = [](const char* name) { return PrefsNumberRule::number(QLatin1String(name)); };
  const QString useTime = QStringLiteral("useMovieTimeDefault");
  const QString useSpeed = QStringLiteral("useMovieSpeedDefault");
  const QString useVolume = QStringLiteral("useMovieVolumeDefault");
  const QString qtzRes = QStringLiteral("useCustomResForQtzDefault");
  const QString textRes = QStringLiteral("useCustomResForTextDefault");
  const QString urlRes = QStringLiteral("useCustomResForURLDefault");
  const QString imageRes = QStringLiteral("useCustomResForImageDefault");
  valueRows_ = {
      {timeSlider_, useTime, QStringLiteral("timeSliderDefault"), Kind::SliderSnapshot,
       std::nullopt, timeSlider_, f("timeTextField")},
      {f("timeTextField"), useTime, QStringLiteral("startTimeDefault"), Kind::Number,
       number("Start time"), timeSlider_},
      {speedSlider_, useSpeed, QStringLiteral("speedSliderDefault"), Kind::SliderSnapshot,
       std::nullopt, speedSlider_, f("speedTextField")},
      {f("speedTextField"), useSpeed, QStringLiteral("speedDefault"), Kind::Number, number("Speed"),
       speedSlider_},
      {volumeSlider_, useVolume, QStringLiteral("volumeSliderDefault"), Kind::SliderSnapshot,
       std::nullopt, volumeSlider_, f("volumeTextField")},
      {f("volumeTextField"), useVolume, QStringLiteral("volumeDefault"), Kind::Number,
       number("Volume"), volumeSlider_},
      {loopModeControl_, QStringLiteral("useMovieLoopModeDefault"),
       QStringLiteral("loopModeDefault"), Kind::Segment, std::nullopt},
      {f("ramloadTextField"), QStringLiteral("ramloadDefault"),
       QStringLiteral("ramloadRangeDefault"), Kind::Integer,
       PrefsNumberRule::frames(QStringLiteral("RAM load frames"))},
      {f("qtzHozResTextField"), qtzRes, QStringLiteral("qtzHorResDefault"), Kind::Integer,
       size("Composition width")},
      {f("qtzVertResTextField"), qtzRes, QStringLiteral("qtzVertResDefault"), Kind::Integer,
       size("Composition height")},
      {f("textHozResTextField"), textRes, QStringLiteral("textHorResDefault"), Kind::Integer,
       size("Text width")},
      {f("textVertResTextField"), textRes, QStringLiteral("textVertResDefault"), Kind::Integer,
       size("Text height")},
      {f("bpmTextField"),
       {},
       QStringLiteral("bpmDefault"),
       Kind::Integer,
       PrefsNumberRule::tempo(QStringLiteral("Tempo"))},
      {textStylePopUpButton_, {}, kTextStyleKey, Kind::Title, std::nullopt},
      {f("urlHozResTextField"), urlRes, QStringLiteral("urlHorResDefault"), Kind::Integer,
       size("Web page width")},
      {f("urlVertResTextField"), urlRes, QStringLiteral("urlVertResDefault"), Kind::Integer,
       size("Web page height")},
      {f("urlStringTextField"), {}, kUrlStringKey, Kind::Text, std::nullopt},
      {f("maxImageCacheSizeTextField"),
       {},
       QStringLiteral("maxImageCacheSizeDefault"),
       Kind::Integer,
       size("Image cache size")},
      {imageStylePopUpButton_, {}, kImageStyleKey, Kind::Title, std::nullopt},
      {f("imageHozResTextField"), imageRes, QStringLiteral("imageHorResDefault"), Kind::Integer,
       size("Image width")},
      {f("imageVertResTextField"), imageRes, QStringLiteral("imageVertResDefault"), Kind::Integer,
       size("Image height")},
  };

  const auto box = [this](const char* name) { return checkBox(QLatin1String(name)); };
  const auto movieEnabling = [this](QKSliderControl* slider, QLineEdit* edit) {
    return [this, slider, edit](bool on) { enableMovieControls(slider, edit, on); };
  };
  MICheckBox* ramloadAll = box("ramloadAllButton");
  MICheckBox* ramload = box("ramloadButton");
  QLineEdit* ramloadField = f("ramloadTextField");
  checkRows_ = {
      {box("useTimeButton"),
       useTime,
       movieEnabling(timeSlider_, f("timeTextField")),
       {timeSlider_}},
      {box("useSpeedButton"),
       useSpeed,
       movieEnabling(speedSlider_, f("speedTextField")),
       {speedSlider_}},
      {box("useVolumeButton"),
       useVolume,
       movieEnabling(volumeSlider_, f("volumeTextField")),
       {volumeSlider_}},
      {box("useLoopModeButton"),
       QStringLiteral("useMovieLoopModeDefault"),
       [this](bool on) { loopModeControl_->setEnabled(on); },
       {loopModeControl_}},
      {box("prerollButton"), QStringLiteral("doMoviePrerollDefault"), {}, {}},
      {ramload,
       QStringLiteral("ramloadDefault"),
       [ramloadAll, ramloadField](bool on) {
         ramloadAll->setEnabled(on);
         ramloadField->setEnabled(on && ramloadAll->state() != 1);
       },
       {ramloadField}},
      {ramloadAll,
       QStringLiteral("ramloadAllDefault"),
       [ramloadAll, ramload, ramloadField](bool) {
         if (ramloadAll->state() != 1 && ramload->state() == 1) ramloadField->setEnabled(true);
       },
       {ramloadField}},
      {box("useBpmSyncButton"), QStringLiteral("bpmSyncOnOffDefault"), {}, {}},
      {box("useQtzResButton"), qtzRes, {}, {f("qtzHozResTextField"), f("qtzVertResTextField")}},
      {box("qtLiveUpdatingButton"), QStringLiteral("qtAllowLiveUpdatingDefault"), {}, {}},
      {box("qtzLiveUpdatingButton"), QStringLiteral("qtzAllowLiveUpdatingDefault"), {}, {}},
      {box("textLiveUpdatingButton"), QStringLiteral("textAllowLiveUpdatingDefault"), {}, {}},
      {box("useTextResButton"), textRes, {}, {f("textHozResTextField"), f("textVertResTextField")}},
      {box("createThumbsForRemoteFilesButton"),
       QStringLiteral("loadThumbnailsForRemoteURLFilesDefault"),
       {},
       {}},
      {box("useURLResButton"), urlRes, {}, {f("urlHozResTextField"), f("urlVertResTextField")}},
      {box("cacheImagesButton"), QStringLiteral("cacheImagesDefault"), {}, {}},
      {box("useImageResButton"),
       imageRes,
       {},
       {f("imageHozResTextField"), f("imageVertResTextField")}},
      {box("imageLiveUpdatingButton"), QStringLiteral("imageAllowLiveUpdatingDefault"), {}, {}},
      {box("useImageStyleButton"),
       QStringLiteral("useImageStyleDefault"),
       {},
       {imageStylePopUpButton_}},
      {box("useTextStyleButton"),
       QStringLiteral("useTextStyleDefault"),
       {},
       {textStylePopUpButton_}},
  };
}

void FileLoadingPrefsController::connectControls() {
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
  for (QKSliderControl* slider :
       {timeSlider_, static_cast<QKSliderControl*>(speedSlider_), volumeSlider_})
    connectSlider(slider);
  for (const auto& [name, edit] : fields_) {
    QLineEdit* sender = edit;
    connect(edit, &QLineEdit::editingFinished, this, [this, sender] {
      // editingFinished also comes when the focus leaves an unchanged field.
      if (sender->isModified()) parameterChanged(sender);
      sender->setModified(false);
    });
  }
  loopModeControl_->setAction([this] { parameterChanged(loopModeControl_); });
  for (QComboBox* popUp : {textStylePopUpButton_, imageStylePopUpButton_})
    connect(popUp, &QComboBox::activated, this, [this, popUp](int) { parameterChanged(popUp); });
  for (const auto& [name, box] : boxes_) {
    MICheckBox* sender = box;
    connect(box, &QCheckBox::clicked, this, [this, sender] { buttonUsed(sender); });
  }
}

void FileLoadingPrefsController::connectSlider(QKSliderControl* slider) {
  slider->setDelegate(sliderDelegate_);
  slider->setTarget(std::static_pointer_cast<void>(alive_));
  const std::weak_ptr<int> alive = alive_;
  slider->setAction([this, alive, slider](QKSliderCell&) {
    MainThread::run([this, alive, slider] {
      if (alive.lock()) parameterChanged(slider);
    });
  });
}

// --- Waking -----------------------------------------------------------------------------------

void FileLoadingPrefsController::awakeFromNib() {
  setUpSliders();
  PrefsHost* host = prefsController_ ? prefsController_->host() : nullptr;
  setUpStylePopUp(textStylePopUpButton_, host ? host->fontSynthNames() : QStringList(),
                  QStringLiteral("There are no valid QTZ text sources in the fontsynths folder"));
  setUpStylePopUp(imageStylePopUpButton_, host ? host->imageSourcesNames() : QStringList(),
                  QStringLiteral("There are no valid QTZ images sources in the image sources "
                                 "folder"));
  updatePrefsUI();
}

void FileLoadingPrefsController::setUpSliders() {
  timeSlider_->setSliderName(QStringLiteral("Time"));
  speedSlider_->setSliderName(QStringLiteral("Speed"));
  speedSlider_->setMinRange(-10.0f);
  speedSlider_->setMaxRange(10.0f);
  speedSlider_->setValueWithRangedValue(1.0f, false);
  for (float speed : {-2.0f, -1.0f, 0.0f, 1.0f, 2.0f})
    speedSlider_->addInterestingPoint(speedSlider_->valueForRangedValue(speed));
  speedSlider_->setFillValue(0.5f);
  volumeSlider_->setSliderName(QStringLiteral("Volume"));
  volumeSlider_->setMinRange(0.0f);
  volumeSlider_->setMaxRange(1.0f);
}

void FileLoadingPrefsController::setUpStylePopUp(QComboBox* popUp, const QStringList& titles,
                                                 const QString& emptyTip) {
  const QSignalBlocker quiet(popUp);
  popUp->clear();
  popUp->addItems(titles);
  popUp->setToolTip(titles.isEmpty() ? emptyTip : QString());
}

void FileLoadingPrefsController::writeAbsentStyle(QComboBox* popUp, const QString& key,
                                                  const QString& title) {
  if (present(key, Type::String)) return;
  const QSignalBlocker quiet(popUp);
  popUp->setCurrentIndex(popUp->findText(title));
  if (popUp->currentIndex() < 0 && popUp->count() > 0) popUp->setCurrentIndex(0);
  if (popUp->currentIndex() >= 0) UserDefaults::standard().setValue(key, popUp->currentText());
}

void FileLoadingPrefsController::writeAbsentSlider(QKSliderControl* slider, const QString& key) {
  if (present(key, Type::Dictionary)) return;
  if (slider == speedSlider_) {
    speedSlider_->setValueWithRangedValue(1.0f, false);
    for (float point : {0.45f, 0.5f, 0.55f}) speedSlider_->addInterestingPoint(point);
  }
  const QVariantMap snapshot = slider->createSnapshot();
  if (!snapshot.isEmpty()) UserDefaults::standard().setValue(key, snapshot);
}

void FileLoadingPrefsController::checkUserDefaults() {
  for (const AbsentDefault& entry : kFlagsAndNumbers) writeAbsent(entry);
  writeAbsentStyle(textStylePopUpButton_, kTextStyleKey, QStringLiteral("DefaultFontsynth"));
  writeAbsentSlider(timeSlider_, QStringLiteral("timeSliderDefault"));
  writeAbsentSlider(speedSlider_, QStringLiteral("speedSliderDefault"));
  writeAbsentSlider(volumeSlider_, QStringLiteral("volumeSliderDefault"));
  for (const AbsentDefault& entry : kWebAndImages) writeAbsent(entry);
  if (!present(kUrlStringKey, Type::String))
    UserDefaults::standard().setValue(kUrlStringKey, kUrlStringValue);
  for (const AbsentDefault& entry : kImageNumbers) writeAbsent(entry);
  writeAbsentStyle(imageStylePopUpButton_, kImageStyleKey, QStringLiteral("<Built-In Player>"));
  writeAbsent({"useImageStyleDefault", 1});
  writeAbsent({"useTextStyleDefault", 1});
}

// --- Showing ----------------------------------------------------------------------------------

void FileLoadingPrefsController::enableMovieControls(QKSliderControl* slider, QLineEdit* edit,
                                                     bool on) {
  slider->setEnabled(on);
  edit->setEnabled(on);
}

void FileLoadingPrefsController::showStyleName(QComboBox* popUp, const QString& key,
                                               const QString& missingLog) {
  const QSignalBlocker quiet(popUp);
  if (present(key, Type::String)) {
    popUp->setCurrentIndex(popUp->findText(UserDefaults::standard().stringValue(key)));
  } else {
    Log::line(missingLog);
    popUp->setCurrentIndex(-1);
  }
  if (popUp->currentIndex() < 0 && popUp->count() > 0) popUp->setCurrentIndex(0);
}

void FileLoadingPrefsController::updatePrefsUI() {
  checkUserDefaults();
  UserDefaults& defaults = UserDefaults::standard();
  const auto sliderAndField = [&](QKSliderControl* slider, const char* sliderKey,
                                  const char* fieldName, const char* fieldKey) {
    if (present(QLatin1String(sliderKey), Type::Dictionary))
      slider->loadSnapshot(defaults.dictionaryValue(QLatin1String(sliderKey)));
    if (present(QLatin1String(fieldKey), Type::Number))
      field(QLatin1String(fieldName))
          ->setText(printed(defaults.doubleValue(QLatin1String(fieldKey))));
  };
  sliderAndField(timeSlider_, "timeSliderDefault", "timeTextField", "startTimeDefault");
  sliderAndField(speedSlider_, "speedSliderDefault", "speedTextField", "speedDefault");
  sliderAndField(volumeSlider_, "volumeSliderDefault", "volumeTextField", "volumeDefault");
  if (const auto mode = storedInteger(QStringLiteral("loopModeDefault")))
    loopModeControl_->setSelectedSegment(int(*mode));
  const auto showInteger = [&](const char* fieldName, const char* key) {
    if (const auto value = storedInteger(QLatin1String(key)))
      field(QLatin1String(fieldName))->setText(printedInteger(*value));
  };
  showInteger("ramloadTextField", "ramloadRangeDefault");
  showInteger("qtzHozResTextField", "qtzHorResDefault");
  showInteger("qtzVertResTextField", "qtzVertResDefault");
  showInteger("textHozResTextField", "textHorResDefault");
  showInteger("textVertResTextField", "textVertResDefault");
  if (present(QStringLiteral("bpmDefault"), Type::Number))
    field(QStringLiteral("bpmTextField"))
        ->setText(printed(defaults.doubleValue(QStringLiteral("bpmDefault"))));
  showStyleName(textStylePopUpButton_, kTextStyleKey,
                QStringLiteral("\t\terr- user default fontsynth unspecified"));
  showStyleName(imageStylePopUpButton_, kImageStyleKey,
                QStringLiteral("\t\terr- user default image source unspecified"));

  const auto showBox = [&](const char* boxName, const char* key) -> std::optional<bool> {
    const auto value = storedInteger(QLatin1String(key));
    if (!value) return std::nullopt;
    checkBox(QLatin1String(boxName))->setState(int(*value));
    return *value != 0;
  };
  if (const auto on = showBox("useTimeButton", "useMovieTimeDefault"))
    enableMovieControls(timeSlider_, field(QStringLiteral("timeTextField")), *on);
  if (const auto on = showBox("useSpeedButton", "useMovieSpeedDefault"))
    enableMovieControls(speedSlider_, field(QStringLiteral("speedTextField")), *on);
  if (const auto on = showBox("useVolumeButton", "useMovieVolumeDefault"))
    enableMovieControls(volumeSlider_, field(QStringLiteral("volumeTextField")), *on);
  if (const auto on = showBox("useLoopModeButton", "useMovieLoopModeDefault"))
    loopModeControl_->setEnabled(*on);
  showBox("prerollButton", "doMoviePrerollDefault");
  if (const auto on = showBox("ramloadButton", "ramloadDefault")) {
    field(QStringLiteral("ramloadTextField"))->setEnabled(*on);
    checkBox(QStringLiteral("ramloadAllButton"))->setEnabled(*on);
  }
  showBox("ramloadAllButton", "ramloadAllDefault");
  showBox("useBpmSyncButton", "bpmSyncOnOffDefault");
  showBox("useQtzResButton", "useCustomResForQtzDefault");
  showBox("useTextResButton", "useCustomResForTextDefault");
  showBox("useImageResButton", "useCustomResForImageDefault");
  showBox("qtLiveUpdatingButton", "qtAllowLiveUpdatingDefault");
  showBox("qtzLiveUpdatingButton", "qtzAllowLiveUpdatingDefault");
  showBox("textLiveUpdatingButton", "textAllowLiveUpdatingDefault");
  showBox("imageLiveUpdatingButton", "imageAllowLiveUpdatingDefault");
  showBox("useTextStyleButton", "useTextStyleDefault");
  showBox("createThumbsForRemoteFilesButton", "loadThumbnailsForRemoteURLFilesDefault");
  showBox("useURLResButton", "useCustomResForURLDefault");
  showInteger("urlHozResTextField", "urlHorResDefault");
  showInteger("urlVertResTextField", "urlVertResDefault");
  if (present(kUrlStringKey, Type::String))
    field(QStringLiteral("urlStringTextField"))->setText(defaults.stringValue(kUrlStringKey));
  showBox("cacheImagesButton", "cacheImagesDefault");
  showInteger("maxImageCacheSizeTextField", "maxImageCacheSizeDefault");
  showInteger("imageHozResTextField", "imageHorResDefault");
  showInteger("imageVertResTextField", "imageVertResDefault");
  showBox("useImageStyleButton", "useImageStyleDefault");
}

// --- Storing ----------------------------------------------------------------------------------

const FileLoadingPrefsController::ValueRow* FileLoadingPrefsController::valueRow(
    const QObject* sender) const {
  for (const ValueRow& row : valueRows_)
    if (row.sender == sender) return &row;
  return nullptr;
}

const FileLoadingPrefsController::CheckRow* FileLoadingPrefsController::checkRow(
    const QObject* sender) const {
  for (const CheckRow& row : checkRows_)
    if (row.box == sender) return &row;
  return nullptr;
}

void FileLoadingPrefsController::parameterChanged(QObject* sender) {
  for (QKSliderControl* slider :
       {timeSlider_, static_cast<QKSliderControl*>(speedSlider_), volumeSlider_})
    if (sender == slider && slider->syncFlag()) return;
  handleParameterChanged(sender);
}

void FileLoadingPrefsController::sliderDelegateChanged(QKSliderControl* slider) {
  handleParameterChanged(slider);
}

void FileLoadingPrefsController::showStoredText(QLineEdit* edit, const ValueRow& row) {
  UserDefaults& defaults = UserDefaults::standard();
  if (row.kind == Kind::Integer && present(row.key, Type::Number)) {
    edit->setText(row.key == QLatin1String("bpmDefault")
                      ? printed(defaults.doubleValue(row.key))
                      : printedInteger(defaults.integerValue(row.key)));
  } else if (row.kind == Kind::Number && present(row.key, Type::Number)) {
    edit->setText(printed(defaults.doubleValue(row.key)));
  } else if (row.kind == Kind::Number && row.slider) {
    edit->setText(printed(row.slider->rangedValue()));
  } else {
    edit->clear();
  }
  edit->setModified(false);
}

void FileLoadingPrefsController::refuse(QLineEdit* edit, const ValueRow& row,
                                        const QString& reason) {
  Log::line(QStringLiteral("\t\terr: %1").arg(reason));
  showStoredText(edit, row);
  if (edit->isVisible())
    QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), reason, edit);
}

std::optional<QVariant> FileLoadingPrefsController::valueOf(const ValueRow& row) {
  switch (row.kind) {
    case Kind::SliderSnapshot:
      row.sliderField->setText(printed(row.slider->rangedValue()));
      return row.slider->createSnapshot();
    case Kind::Segment:
      return qint64(loopModeControl_->selectedSegment());
    case Kind::Title:
      return static_cast<QComboBox*>(row.sender)->currentText();
    case Kind::Text:
      return static_cast<QLineEdit*>(row.sender)->text();
    case Kind::Number:
    case Kind::Integer:
      break;
  }
  auto* edit = static_cast<QLineEdit*>(row.sender);
  QString reason;
  const std::optional<double> number = row.rule->read(edit->text(), &reason);
  if (!number) {
    refuse(edit, row, reason);
    return std::nullopt;
  }
  if (row.kind == Kind::Integer) return qint64(*number);
  row.slider->setSyncFlag(false);
  row.slider->setValueWithRangedValue(float(*number));
  return *number;
}

void FileLoadingPrefsController::handleParameterChanged(QObject* sender) {
  const ValueRow* row = valueRow(sender);
  if (!row) return;
  const std::optional<QVariant> value = valueOf(*row);
  if (!value) return;
  if (!row->gate.isEmpty() && storedInteger(row->gate).value_or(0) != 1) return;
  UserDefaults::standard().setValue(row->key, *value);
}

void FileLoadingPrefsController::buttonUsed(QObject* sender) {
  auto* box = qobject_cast<MICheckBox*>(sender);
  const CheckRow* row = checkRow(sender);
  if (!box || !row) {
    Log::line(QStringLiteral("\t\terr- unrecognized button param"));
    return;
  }
  int state = box->state();
  if (state == -1) {
    box->setState(1);
    state = 1;
  }
  if (row->enabling) row->enabling(state == 1);
  UserDefaults::standard().setValue(row->key, qint64(state));
  for (QObject* followUp : row->followUps) parameterChanged(followUp);
  if (box == checkBox(QStringLiteral("createThumbsForRemoteFilesButton")) && state == 1)
    NotificationCenter::defaultCenter().post(QKURLFile::kReloadThumbnailsNotification, this);
}

#include "app/plugins/audioanalysis/AudioAnalysis.h"

#include "app/plugins/audioanalysis/QKAAOpenGLWaveView.h"
#include "framework/audio/QKAudioDeviceController.h"
#include "framework/audio/QKAudioDeviceThreadController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKNSTableView.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <set>

const QString AudioAnalysis::kTypeName = QStringLiteral("AudioAnalysis");

namespace {

const QString kSuperSnapKey = QStringLiteral("superSnap");
const QString kGainSlider = QStringLiteral("gainSlider");
const QString kNormalizeLevels = QStringLiteral("normalizeLevels");
const QString kComponentArray = QStringLiteral("componentArray");
const QString kComponentName = QStringLiteral("componentName");
const QString kRestore = QStringLiteral("restore");
const QString kInputSettings = QStringLiteral("input settings");
const QString kOutputSettings = QStringLiteral("output settings");
const QString kPreviewSettings = QStringLiteral("preview settings");
const QString kChannelSettings = QStringLiteral("channel mapping settings");
const QString kAnalysisBands = QStringLiteral("analysis bands");
const QString kMasterOnOff = QStringLiteral("master on/off");
const QString kKeyboardShortcuts = QStringLiteral("keyboard shortcuts");
const QString kInputDeviceName = QStringLiteral("inputDeviceName");
const QString kInputGain = QStringLiteral("input gain");
const QString kOutputDeviceName = QStringLiteral("outputDeviceName");
const QString kPassThruAudio = QStringLiteral("passThruAudio");
const QString kPreviewQuality = QStringLiteral("preview quality");
const QString kPreviewSpeed = QStringLiteral("preview speed");
const QString kPreviewToggleButton = QStringLiteral("previewToggleButton");
const QString kPreviewRunning = QStringLiteral("preview running");
const QString kInputChannelCount = QStringLiteral("inputChannelCount");
const QString kMaxPreviewSpeed = QStringLiteral("1.0");

QKButton* makeButton(const QString& title, int type, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(type);
  button->setTriggerOnMain(true);
  button->setFixedHeight(16);
  return button;
}

QLabel* whiteLabel(const QString& text) {
  auto* label = new QLabel(text);
  label->setStyleSheet(QStringLiteral("color: white"));
  return label;
}

std::optional<double> number(const QVariantMap& map, const QString& key) {
  const auto found = map.constFind(key);
  if (found == map.constEnd() || !VariantNumbers::isNumber(*found, true)) return std::nullopt;
  const double value = found->toDouble();
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<QString> text(const QVariantMap& map, const QString& key) {
  const auto found = map.constFind(key);
  if (found == map.constEnd() || found->typeId() != QMetaType::QString) return std::nullopt;
  return found->toString();
}

QVariantMap withName(QVariantMap map, const QString& name) {
  map.insert(kComponentName, name);
  return map;
}

}  // namespace

AudioAnalysis::AudioAnalysis(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKAudioPlugin(type, name, uniqueID) {
  if (DataSourceController* dsc = dataSourceController())
    dsc->setDataSource(DataSourceHolder::createWithName(name), {name});
  setInputCallback([](std::uint32_t, double, const AudioStreamBuffer* input, AudioStreamBuffer*,
                      QKAudioPlugin* plugin) -> std::int32_t {
    return static_cast<AudioAnalysis*>(plugin)->engine_.inputCycle(input);
  });
  setOutputCallback([](std::uint32_t, double, const AudioStreamBuffer*, AudioStreamBuffer* output,
                       QKAudioPlugin* plugin) -> std::int32_t {
    return static_cast<AudioAnalysis*>(plugin)->engine_.outputCycle(output);
  });
  observers_.observe(QStringLiteral("QKPMRestoreStartNotification"), nullptr,
                     [this](const Notification&) {
                       engine_.setPresetIsLoading(true);
                       closeOptionsPanel();
                     });
  observers_.observe(QStringLiteral("QKPMRestoreEndNotification"), nullptr,
                     [this](const Notification&) { engine_.setPresetIsLoading(false); });
  observers_.observe(QStringLiteral("QKPluginDeletedNotification"), nullptr,
                     [this](const Notification&) { closeOptionsPanel(); });
}

AudioAnalysis::~AudioAnalysis() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass AudioAnalysis::pluginClass() {
  PluginClass analysis;
  analysis.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<AudioAnalysis>(type, name, uniqueID);
  };
  analysis.layout = &AudioAnalysis::buildWindow;
  return analysis;
}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> AudioAnalysis::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(320, 320, 420, 200));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  content->setAllowResize(true);
  if (auto* self = qobject_cast<AudioAnalysis*>(owner)) self->buildBody(content->body());
  return window;
}

void AudioAnalysis::buildBody(QWidget* body) {
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);
  waveView_ = new QKAAOpenGLWaveView(*this, body);
  column->addWidget(waveView_, 1);
  auto* row = new QHBoxLayout;
  onOffToggle_ = makeButton(QStringLiteral("On"), 1, body);
  previewToggle_ = makeButton(QStringLiteral("Spectrum"), 1, body);
  newAnalysisBandButton_ = makeButton(QStringLiteral("+"), 0, body);
  deleteAnalysisBandButton_ = makeButton(QStringLiteral("-"), 0, body);
  showOptionsButton_ = makeButton(QStringLiteral("Options"), 0, body);
  for (QKButton* button : {onOffToggle_, previewToggle_, newAnalysisBandButton_,
                           deleteAnalysisBandButton_, showOptionsButton_})
    row->addWidget(button);
  column->addLayout(row);
  buildOptions(body);
  bind(onOffToggle_, &AudioAnalysis::onOffToggleUsed);
  bind(previewToggle_, &AudioAnalysis::previewToggleUsed);
  bind(showOptionsButton_, &AudioAnalysis::openOptionsPanel);
  newAnalysisBandButton_->setTarget(alive_);
  newAnalysisBandButton_->setAction([this](QKButtonCell&) {
    setPause(true);
    waveView_->createWaveViewSlice();
    setPause(false);
  });
  deleteAnalysisBandButton_->setTarget(alive_);
  deleteAnalysisBandButton_->setAction([this](QKButtonCell&) {
    std::set<int> rows;
    if (bandTable_)
      for (const QModelIndex& index : bandTable_->selectionModel()->selectedRows())
        rows.insert(index.row());
    waveView_->deleteSelectedWaveViewSlice(rows);
  });
}

void AudioAnalysis::buildOptions(QWidget* body) {
  optionsPanel_ = new BlackTranslucentPanel(body);
  optionsPanel_->hide();
  auto* column = new QVBoxLayout(optionsPanel_);
  column->setContentsMargins(6, 6, 6, 6);
  auto* devices = new QHBoxLayout;
  devices->addWidget(whiteLabel(QStringLiteral("In")));
  audioInputDevices_ = new QComboBox;
  devices->addWidget(audioInputDevices_, 1);
  devices->addWidget(whiteLabel(QStringLiteral("Out")));
  audioOutputDevices_ = new QComboBox;
  devices->addWidget(audioOutputDevices_, 1);
  audioPassThruToggle_ = makeButton(QStringLiteral("Thru"), 1, optionsPanel_);
  devices->addWidget(audioPassThruToggle_);
  column->addLayout(devices);

  auto* levels = new QHBoxLayout;
  inputGainSlider_ = QKLogSliderControl::createWithFrame(QRectF(0, 0, 120, 16), optionsPanel_);
  inputGainSlider_->setFixedHeight(16);
  levels->addWidget(inputGainSlider_, 1);
  normalizeLevelsButton_ = new QCheckBox(QStringLiteral("Normalise"));
  normalizeLevelsButton_->setStyleSheet(QStringLiteral("color: white"));
  normalizeLevelsButton_->setChecked(true);
  levels->addWidget(normalizeLevelsButton_);
  column->addLayout(levels);

  auto* preview = new QHBoxLayout;
  preview->addWidget(whiteLabel(QStringLiteral("Bands")));
  previewQualitySlider_ = new QSlider(Qt::Horizontal);
  previewQualitySlider_->setRange(1, AudioAnalysisEngine::kMaxPreviewBands);
  preview->addWidget(previewQualitySlider_, 1);
  preview->addWidget(whiteLabel(QStringLiteral("Period")));
  // In milliseconds: a QSlider holds integers.
  previewFrequencySlider_ = new QSlider(Qt::Horizontal);
  previewFrequencySlider_->setRange(30, 1000);
  preview->addWidget(previewFrequencySlider_, 1);
  column->addLayout(preview);

  auto* tables = new QHBoxLayout;
  channelTableView_ = new QTableWidget(0, 2);
  channelTableView_->setHorizontalHeaderLabels(
      {QStringLiteral("Channel"), QStringLiteral("Active")});
  channelTableView_->verticalHeader()->hide();
  channelTableView_->setMaximumWidth(120);
  tables->addWidget(channelTableView_);
  bandTable_ = new QKNSTableView;
  bandTable_->setModel(waveView_->tableModel());
  bandTable_->verticalHeader()->hide();
  bandTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
  bandTable_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tables->addWidget(bandTable_, 1);
  column->addLayout(tables, 1);
  closeOptionsButton_ = makeButton(QStringLiteral("Done"), 0, optionsPanel_);
  column->addWidget(closeOptionsButton_);

  bind(audioPassThruToggle_, &AudioAnalysis::audioPassThruToggleUsed);
  bind(closeOptionsButton_, &AudioAnalysis::closeOptionsPanel);
  inputGainSlider_->setAction([this](QKSliderCell&) { gainSliderUsed(); });
  connect(normalizeLevelsButton_, &QCheckBox::toggled, this,
          [this] { normalizeLevelsButtonUsed(); });
  connect(previewQualitySlider_, &QSlider::valueChanged, this,
          [this] { previewQualitySliderUsed(); });
  connect(previewFrequencySlider_, &QSlider::valueChanged, this,
          [this] { previewFrequencySliderUsed(); });
  connect(audioInputDevices_, &QComboBox::activated, this, [this] { inputDeviceSelected(); });
  connect(audioOutputDevices_, &QComboBox::activated, this, [this] { outputDeviceSelected(); });
  connect(channelTableView_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() != 1) return;
    bool ok = false;
    const float weight = item->text().toFloat(&ok);
    if (ok) engine_.setChannelWeight(item->row(), weight);
  });
}

void AudioAnalysis::bind(QKButton* button, void (AudioAnalysis::*action)()) {
  button->setTarget(alive_);
  button->setAction([this, action](QKButtonCell&) { (this->*action)(); });
}

bool AudioAnalysis::windowCollapsed() const {
  QKWindow* shown = const_cast<AudioAnalysis*>(this)->window();
  return shown && shown->contentView() && shown->contentView()->collapsed();
}

// --- Wake-up -------------------------------------------------------------------------------

void AudioAnalysis::awakeFromNib() {
  QKAudioPlugin::awakeFromNib();
  if (!waveView_) return;
  waveView_->awakeFromNib();
  engine_.setPassThruAudio(false);
  audioPassThruToggle_->setIntValue(0, false);
  engine_.setPreviewRunning(false);
  previewToggle_->setIntValue(1, false);
  {
    const QSignalBlocker quality(previewQualitySlider_);
    previewQualitySlider_->setValue(40);
  }
  engine_.setPreviewBandCount(40);
  drawingTimerPeriod_ = 0.07f;
  {
    const QSignalBlocker speed(previewFrequencySlider_);
    previewFrequencySlider_->setValue(70);
  }
  engine_.setGain(1.0f);
  inputGainSlider_->setMinRange(0.0f);
  inputGainSlider_->setMaxRange(16.0f);
  inputGainSlider_->setSliderName(QStringLiteral("Gain"));
  inputGainSlider_->setValueWithRangedValue(2.0f, true);
  gainSliderUsed();
  fillAudioDeviceMenu(audioInputDevices_, true);
  fillAudioDeviceMenu(audioOutputDevices_, false);
  if (QKAudioDeviceThreadController* registry = audioDeviceThreadController()) {
    if (!registry->defaultInputDeviceName().isEmpty()) {
      selectTitle(audioInputDevices_, registry->defaultInputDeviceName());
      inputDeviceSelected();
    }
    if (!registry->defaultOutputDeviceName().isEmpty()) {
      selectTitle(audioOutputDevices_, registry->defaultOutputDeviceName());
      outputDeviceSelected();
    }
  }
  observers_.observe(QKAudioDeviceThreadController::kAudioHardwareChangedNotification, nullptr,
                     [this](const Notification&) { audioHardwareChanged(); });
  previewQualitySliderUsed();
}

// --- Controls ------------------------------------------------------------------------------

void AudioAnalysis::onOffToggleUsed() {
  const bool on = onOffToggle_->intValue() == 1;
  shouldBeRunning_ = on;
  if (on == engine_.running()) return;
  if (!on) {
    setRunning(false);
    invalidateTimer();
    drawingTimerRunning_ = false;
    return;
  }
  previewFrequencySliderUsed();
  previewToggleUsed();
  setRunning(true);
}

void AudioAnalysis::previewToggleUsed() {
  if (previewToggle_->intValue() == 0) {
    engine_.setPreviewRunning(false);
    drawingTimerRunning_ = false;
    invalidateTimer();
    return;
  }
  previewQualitySliderUsed();
  engine_.setPreviewRunning(true);
  if (drawingTimer_) {
    drawingTimerRefresh_ = true;
    return;
  }
  drawingTimerRefresh_ = false;
  drawingTimerRunning_ = true;
  startTimer();
}

void AudioAnalysis::previewQualitySliderUsed() {
  engine_.setPreviewBandCount(previewQualitySlider_->value());
}

void AudioAnalysis::previewFrequencySliderUsed() {
  drawingTimerPeriod_ =
      std::max(kMinTimerPeriod, float(previewFrequencySlider_->value()) / 1000.0f);
  drawingTimerRefresh_ = true;
}

void AudioAnalysis::gainSliderUsed() { engine_.setGain(inputGainSlider_->rangedValue()); }

void AudioAnalysis::audioPassThruToggleUsed() {
  setPassThruAudio(audioPassThruToggle_->intValue() != 0);
}

void AudioAnalysis::normalizeLevelsButtonUsed() {
  engine_.setNormalizeLevels(normalizeLevelsButton_->isChecked());
}

void AudioAnalysis::openOptionsPanel() {
  if (!optionsPanel_) return;
  reloadChannelTable();
  // The sheet is a window of its own: it covers the body where it is on screen.
  const QWidget* body = optionsPanel_->parentWidget();
  optionsPanel_->setGeometry(QRect(body->mapToGlobal(QPoint(0, 0)), body->size()));
  optionsPanel_->show();
  optionsPanel_->raise();
}

void AudioAnalysis::closeOptionsPanel() {
  if (optionsPanel_) optionsPanel_->hide();
}

void AudioAnalysis::reloadChannelTable() {
  if (!channelTableView_) return;
  const QSignalBlocker blocker(channelTableView_);
  const int channels = engine_.inputChannelCount();
  channelTableView_->setRowCount(channels);
  for (int row = 0; row < channels; ++row) {
    auto* name = new QTableWidgetItem(QString::number(row + 1));
    name->setFlags(name->flags() & ~Qt::ItemIsEditable);
    channelTableView_->setItem(row, 0, name);
    channelTableView_->setItem(
        row, 1, new QTableWidgetItem(QString::number(int(engine_.channelWeight(row)))));
  }
}

// --- Devices -------------------------------------------------------------------------------

void AudioAnalysis::fillAudioDeviceMenu(QComboBox* popUp, bool isInput) {
  if (!popUp) return;
  const QSignalBlocker blocker(popUp);
  popUp->clear();
  QKAudioDeviceThreadController* registry = audioDeviceThreadController();
  if (!registry) return;
  const auto& devices =
      isInput ? registry->inputDeviceDictionary() : registry->outputDeviceDictionary();
  for (auto it = devices.constBegin(); it != devices.constEnd(); ++it) popUp->addItem(it.key());
  popUp->setCurrentIndex(-1);
}

void AudioAnalysis::selectTitle(QComboBox* popUp, const QString& title) {
  const QSignalBlocker blocker(popUp);
  popUp->setCurrentIndex(popUp->findText(title));
}

QString AudioAnalysis::selectedTitle(QComboBox* popUp) const {
  return popUp && popUp->currentIndex() >= 0 ? popUp->currentText() : QString();
}

QKAudioDeviceController* AudioAnalysis::deviceNamed(const QString& name, bool isInput) const {
  QKAudioDeviceThreadController* registry = audioDeviceThreadController();
  return registry && !name.isEmpty() ? registry->ptrToAudioDeviceNamed(name, isInput) : nullptr;
}

void AudioAnalysis::inputDeviceSelected() {
  const QString title = selectedTitle(audioInputDevices_);
  QKAudioDeviceController* device = deviceNamed(title, true);
  if (!device) return;
  if (audioSource() && title == lastSelectedInputName_) return;
  const bool wasRunning = engine_.running();
  setRunning(false);
  lastSelectedInputName_ = title;
  engine_.setInputFormat(device->inputChannelCount(), float(device->deviceSampleRate()));
  waveView_->sampleRateChanged();
  reloadChannelTable();
  previewQualitySliderUsed();
  if (wasRunning) setRunning(true);
}

void AudioAnalysis::outputDeviceSelected() {
  const QString title = selectedTitle(audioOutputDevices_);
  QKAudioDeviceController* device = deviceNamed(title, false);
  if (!device || title == lastSelectedOutputName_) return;
  setPassThruAudio(false);
  lastSelectedOutputName_ = title;
  setPassThruAudio(audioPassThruToggle_->intValue() != 0);
}

bool AudioAnalysis::anyChannelOn() const {
  for (int c = 0; c < engine_.inputChannelCount(); ++c)
    if (engine_.channelWeight(c) != 0.0f) return true;
  return false;
}

void AudioAnalysis::setRunning(bool run) {
  if (run) {
    setPause(true);
    QKAudioDeviceController* device = deviceNamed(selectedTitle(audioInputDevices_), true);
    if (device) {
      if (audioSource() != device) device->subscribeObject(this, true);
      if (!engine_.running())
        Log::line(QStringLiteral("\t\terr: the audio device %1 could not be opened for analysis")
                      .arg(device->deviceName()));
    }
    setPassThruAudio(audioPassThruToggle_->intValue() != 0);
    return;
  }
  if (!engine_.running()) return;
  setPause(true);
  if (QKAudioDeviceController* source = audioSource()) source->unsubscribeObject(this, true);
  setPassThruAudio(audioPassThruToggle_->intValue() != 0);
}

void AudioAnalysis::setPassThruAudio(bool on) {
  if (on && engine_.running()) {
    engine_.setPassThruAudio(true);
    if (!audioDest()) {
      if (anyChannelOn())
        if (QKAudioDeviceController* device =
                deviceNamed(selectedTitle(audioOutputDevices_), false))
          device->subscribeObject(this, false);
    } else if (!anyChannelOn()) {
      audioDest()->unsubscribeObject(this, false);
    }
    return;
  }
  engine_.setPassThruAudio(on);
  if (QKAudioDeviceController* dest = audioDest()) dest->unsubscribeObject(this, false);
}

// The device controllers call these under their callback lock.
void AudioAnalysis::setAudioSource(QKAudioDeviceController* device) {
  if (device == audioSource()) return;
  QKAudioPlugin::setAudioSource(device);
  if (!device) {
    engine_.detachInput();
    return;
  }
  engine_.attachInput(device->inputFrameCount());
}

void AudioAnalysis::setAudioDest(QKAudioDeviceController* device) {
  if (device == audioDest()) return;
  QKAudioPlugin::setAudioDest(device);
  if (!device) {
    engine_.detachOutput();
    return;
  }
  engine_.attachOutput(device->outputChannelCount(), float(device->deviceSampleRate()),
                       device->outputFrameCount());
}

void AudioAnalysis::audioHardwareChanged() {
  fillAudioDeviceMenu(audioInputDevices_, true);
  fillAudioDeviceMenu(audioOutputDevices_, false);
  QKAudioDeviceThreadController* registry = audioDeviceThreadController();
  if (!registry) return;
  if (!lastSelectedInputName_.isEmpty()) {
    if (!registry->inputDeviceDictionary().contains(lastSelectedInputName_)) {
      setPause(true);
      engine_.detachInput();
    } else if (!engine_.running() && shouldBeRunning_) {
      selectTitle(audioInputDevices_, lastSelectedInputName_);
      lastSelectedInputName_.clear();
      inputDeviceSelected();
      setRunning(true);
    } else {
      selectTitle(audioInputDevices_, lastSelectedInputName_);
    }
  }
  if (!lastSelectedOutputName_.isEmpty()) {
    if (!registry->outputDeviceDictionary().contains(lastSelectedOutputName_)) {
      engine_.detachOutput();
    } else if (shouldBeRunning_ && engine_.passThruAudio() && !engine_.passThruRunning()) {
      selectTitle(audioOutputDevices_, lastSelectedOutputName_);
      lastSelectedOutputName_.clear();
      outputDeviceSelected();
      setPassThruAudio(true);
    } else {
      selectTitle(audioOutputDevices_, lastSelectedOutputName_);
    }
  }
}

// --- Preview timer -------------------------------------------------------------------------

void AudioAnalysis::startTimer() {
  drawingTimer_ = std::make_unique<QTimer>();
  connect(drawingTimer_.get(), &QTimer::timeout, this, [this] { drawingTimerCallback(); });
  drawingTimer_->start(int(std::lround(drawingTimerPeriod_ * 1000)));
}

void AudioAnalysis::invalidateTimer() { drawingTimer_.reset(); }

bool AudioAnalysis::drawingTimerActive() const { return drawingTimer_ != nullptr; }

void AudioAnalysis::drawingTimerCallback() {
  const bool collapsed = windowCollapsed();
  engine_.setCollapsed(collapsed);
  engine_.releaseRetiredBands();
  if (!collapsed && waveView_) {
    std::vector<float> points(std::size_t(engine_.previewBandCount()));
    for (std::size_t i = 0; i < points.size(); ++i)
      points[i] = engine_.previewBQ().takePeak(int(i));
    waveView_->setNewPoints(std::move(points));
  }
  if (!drawingTimerRunning_) {
    // Not from inside the timer's own signal: it goes once the call returns.
    QTimer::singleShot(0, this, [this] {
      if (!drawingTimerRunning_) invalidateTimer();
    });
    return;
  }
  if (drawingTimerRefresh_) {
    drawingTimerRefresh_ = false;
    drawingTimer_->start(int(std::lround(drawingTimerPeriod_ * 1000)));
  }
}

// --- Names, deletion -----------------------------------------------------------------------

void AudioAnalysis::setPluginName(const QString& name) {
  if (DataSourceController* dsc = dataSourceController())
    dsc->changeNameFrom({windowTitle()}, {name});
  QKAudioPlugin::setPluginName(name);
}

void AudioAnalysis::prepareToBeDeleted() {
  if (QKAudioDeviceController* source = audioSource()) source->deleteObject(this);
  if (QKAudioDeviceController* dest = audioDest()) dest->deleteObject(this);
  if (inputGainSlider_) inputGainSlider_->prepareToBeDeleted();
  setAudioSource(nullptr);
  setAudioDest(nullptr);
  drawingTimerRunning_ = false;
  invalidateTimer();
  if (waveView_) waveView_->prepareToBeDeleted();
  if (DataSourceController* dsc = dataSourceController())
    dsc->setDataSource(nullptr, {windowTitle()});
  alive_.reset();
  QKAudioPlugin::prepareToBeDeleted();
}

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap AudioAnalysis::createSnapshot() const {
  QVariantMap snapshot;
  snapshot.insert(kSuperSnapKey, QKAudioPlugin::createSnapshot());
  if (inputGainSlider_) snapshot.insert(kGainSlider, inputGainSlider_->createSnapshot());
  snapshot.insert(kNormalizeLevels, engine_.normalizeLevels() ? 1 : 0);
  QVariantList components;
  QVariantMap input{{kInputGain, double(engine_.gain())}};
  if (!selectedTitle(audioInputDevices_).isEmpty())
    input.insert(kInputDeviceName, selectedTitle(audioInputDevices_));
  components.append(withName(input, kInputSettings));
  QVariantMap output{{kPassThruAudio, engine_.passThruAudio()}};
  if (!selectedTitle(audioOutputDevices_).isEmpty())
    output.insert(kOutputDeviceName, selectedTitle(audioOutputDevices_));
  components.append(withName(output, kOutputSettings));
  QVariantMap preview{{kPreviewQuality, engine_.previewBandCount()},
                      {kPreviewSpeed, double(drawingTimerPeriod_)}};
  if (previewToggle_) preview.insert(kPreviewToggleButton, previewToggle_->createSnapshot());
  components.append(withName(preview, kPreviewSettings));
  QVariantMap channels{{kInputChannelCount, engine_.inputChannelCount()}};
  for (int c = 0; c < engine_.inputChannelCount(); ++c)
    channels.insert(QStringLiteral("channelMapping[%1]").arg(c), double(engine_.channelWeight(c)));
  components.append(withName(channels, kChannelSettings));
  if (waveView_) components.append(withName(waveView_->createSnapshot(), kAnalysisBands));
  if (onOffToggle_) components.append(withName(onOffToggle_->createSnapshot(), kMasterOnOff));
  QVariantMap shortcuts;
  const std::pair<const char*, QKButton*> buttons[] = {
      {"closeOptionsButton", closeOptionsButton_},
      {"showOptionsButton", showOptionsButton_},
      {"newAnalysisBandButton", newAnalysisBandButton_},
      {"deleteAnalysisBandButton", deleteAnalysisBandButton_}};
  for (const auto& [key, button] : buttons)
    if (button) shortcuts.insert(QString::fromLatin1(key), button->createSnapshot());
  components.append(withName(shortcuts, kKeyboardShortcuts));
  snapshot.insert(kComponentArray, components);
  return snapshot;
}

void AudioAnalysis::restoreComponent(const QString& name, const QVariantMap& component,
                                     std::optional<std::vector<float>>& weights) {
  QKAudioDeviceThreadController* registry = audioDeviceThreadController();
  if (name == kPreviewSettings) {
    if (const auto quality = number(component, kPreviewQuality)) {
      const QSignalBlocker blocker(previewQualitySlider_);
      previewQualitySlider_->setValue(
          std::clamp(int(*quality), 1, AudioAnalysisEngine::kMaxPreviewBands));
    }
    if (const auto speed = number(component, kPreviewSpeed)) {
      const QSignalBlocker blocker(previewFrequencySlider_);
      previewFrequencySlider_->setValue(int(std::lround(*speed * 1000)));
    }
    previewQualitySliderUsed();
    previewFrequencySliderUsed();
    const QVariant toggle = component.value(kPreviewToggleButton);
    if (toggle.typeId() == QMetaType::QVariantMap)
      previewToggle_->loadSnapshot(toggle.toMap(), false);
    else if (const auto running = number(component, kPreviewRunning))
      previewToggle_->setIntValue(*running != 0 ? 1 : 0, false);
  } else if (name == kOutputSettings) {
    if (const auto thru = number(component, kPassThruAudio)) {
      engine_.setPassThruAudio(*thru != 0);
      audioPassThruToggle_->setIntValue(*thru != 0 ? 1 : 0, false);
    }
    const std::optional<QString> device = text(component, kOutputDeviceName);
    if (device && audioOutputDevices_->findText(*device) >= 0) {
      selectTitle(audioOutputDevices_, *device);
    } else if (registry && !registry->defaultOutputDeviceName().isEmpty()) {
      selectTitle(audioOutputDevices_, registry->defaultOutputDeviceName());
      if (lastSelectedOutputName_ != registry->defaultOutputDeviceName())
        lastSelectedOutputName_.clear();
    }
  } else if (name == kInputSettings) {
    const std::optional<QString> device = text(component, kInputDeviceName);
    if (device && audioInputDevices_->findText(*device) >= 0) {
      selectTitle(audioInputDevices_, *device);
    } else if (registry && !registry->defaultInputDeviceName().isEmpty()) {
      selectTitle(audioInputDevices_, registry->defaultInputDeviceName());
      if (lastSelectedInputName_ != registry->defaultInputDeviceName())
        lastSelectedInputName_.clear();
    }
    if (const auto gain = number(component, kInputGain)) {
      engine_.setGain(float(*gain));
      inputGainSlider_->setValueWithRangedValue(float(*gain), false);
    }
  } else if (name == kAnalysisBands) {
    waveView_->loadSnapshot(component);
  } else if (name == kChannelSettings) {
    if (const auto count = number(component, kInputChannelCount)) {
      std::vector<float> saved;
      for (int d = 0; d < std::clamp(int(*count), 0, AudioAnalysisEngine::kMaxChannels); ++d)
        saved.push_back(
            float(number(component, QStringLiteral("channelMapping[%1]").arg(d)).value_or(0)));
      weights = std::move(saved);
    }
  } else if (name == kMasterOnOff) {
    onOffToggle_->loadSnapshot(component, false);
  } else if (name == kKeyboardShortcuts) {
    const std::pair<const char*, QKButton*> buttons[] = {
        {"closeOptionsButton", closeOptionsButton_},
        {"showOptionsButton", showOptionsButton_},
        {"newAnalysisBandButton", newAnalysisBandButton_},
        {"deleteAnalysisBandButton", deleteAnalysisBandButton_}};
    for (const auto& [key, button] : buttons) {
      const QVariant entry = component.value(QString::fromLatin1(key));
      if (button && entry.typeId() == QMetaType::QVariantMap)
        button->loadSnapshot(entry.toMap(), false);
    }
  }
}

void AudioAnalysis::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant super = snapshot.value(kSuperSnapKey);
  if (super.typeId() == QMetaType::QVariantMap) QKAudioPlugin::loadSnapshot(super.toMap());
  if (!waveView_) return;
  if (const auto normalize = number(snapshot, kNormalizeLevels)) {
    const QSignalBlocker blocker(normalizeLevelsButton_);
    normalizeLevelsButton_->setChecked(*normalize != 0);
    engine_.setNormalizeLevels(*normalize != 0);
  }
  const QVariant gain = snapshot.value(kGainSlider);
  if (gain.typeId() == QMetaType::QVariantMap) inputGainSlider_->loadSnapshot(gain.toMap());
  std::optional<std::vector<float>> weights;
  const QVariant components = snapshot.value(kComponentArray);
  if (components.typeId() == QMetaType::QVariantList)
    for (const QVariant& entry : components.toList()) {
      const QVariantMap component = entry.toMap();
      const auto restore = number(component, kRestore);
      const std::optional<QString> name = text(component, kComponentName);
      if (!restore || int(*restore) != 1 || !name) continue;
      restoreComponent(*name, component, weights);
    }
  inputDeviceSelected();
  outputDeviceSelected();
  if (weights) {
    float savedSum = 0, appliedSum = 0;
    for (float w : *weights) savedSum += w;
    for (int c = 0; c < engine_.inputChannelCount(); ++c) {
      const float w = std::size_t(c) < weights->size() ? (*weights)[std::size_t(c)] : 0.0f;
      engine_.setChannelWeight(c, w);
      appliedSum += w;
    }
    if (int(savedSum) > 0 && appliedSum == 0)
      for (int c = 0; c < engine_.inputChannelCount(); ++c) engine_.setChannelWeight(c, 1.0f);
    reloadChannelTable();
  }
  previewToggleUsed();
  audioPassThruToggleUsed();
  onOffToggleUsed();
}

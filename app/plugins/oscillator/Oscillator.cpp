#include "app/plugins/oscillator/Oscillator.h"

#include "app/plugins/manager/SharedSourceGroup.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/curves/QKSingleSplineOpenGLView.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/datasource/MasterClockInterface.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/TitleBarOnlyCollapsedLevelView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

#include <cmath>
#include <cstdlib>

const QString Oscillator::kTypeName = QStringLiteral("Oscillator");
const QString Oscillator::kGroupName = QStringLiteral("Oscillators");

// The data source's set call: the oscillator while it lives.
struct OscillatorTicker : DataSourceTarget {
  std::atomic<Oscillator*> oscillator{nullptr};
};

namespace {

const QString kComponentArray = QStringLiteral("componentArray");
const QString kComponentName = QStringLiteral("componentName");
const QString kWaveSettings = QStringLiteral("wave settings");
const QString kSliderSettings = QStringLiteral("slider settings");
const QString kPresetSettings = QStringLiteral("wave preset buttons settings");
const QString kTheSpline = QStringLiteral("theSpline");
const QString kWaveTypeMenu = QStringLiteral("waveTypeMenu");
const QString kFrequencySlider = QStringLiteral("frequencySlider");
const QString kResyncButton = QStringLiteral("resyncWithClockButton");
const QString kPauseButton = QStringLiteral("pauseButton");
const QString kFlipButton = QStringLiteral("flipDirectionButton");
const char* const kPresetKeys[] = {"triButton", "cosButton", "sinButton", "sawButton",
                                   "squareButton"};
const char* const kPresetTitles[] = {"tri", "cos", "sin", "saw", "sq"};
const char* const kLoopKeys[] = {"loopModeStopButton", "loopModeLoopButton", "loopModeRLoopButton"};
const char* const kLoopTitles[] = {"stop", "loop", "r-loop"};

QKButton* makeButton(const QString& title, int type, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(type);
  button->setFixedHeight(16);
  return button;
}

void setCosine(QKSingleSpline& spline) {
  spline.removeAllControlPoints();
  spline.setHOffset(0.0f);
  spline.setMagnitudeForPoint(0, 1.0f);
  spline.setMagnitudeForPoint(1, 1.0f);
  spline.addControlPointAtXLoc(0.25f, 0.5f);
  spline.addControlPointAtXLoc(0.5f, 0.0f);
  spline.addControlPointAtXLoc(0.75f, 0.5f);
  spline.setHandleForPoint(0, 0.75f, 0.95f);
  spline.setHandleForPoint(1, 0.25f, 0.05f);
  spline.setHandleForPoint(2, 0.75f, 0.05f);
  spline.setHandleForPoint(3, 0.25f, 0.95f);
  spline.setHOffset(0.0f);
}

void straighten(QKSingleSpline& spline) {
  spline.removeAllControlPoints();
  spline.setHOffset(0.0f);
  spline.setHandleForPoint(0, 0.0f, 0.0f);
  spline.setHandleForPoint(1, 0.0f, 0.0f);
}

}  // namespace

Oscillator::Oscillator(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID), ticker_(std::make_shared<OscillatorTicker>()) {
  ticker_->oscillator.store(this);
  // The first tick gives the phase the clock stands at, and crosses no stop.
  phase_.resync(clockReading(), frequency_.load());
  auto source = DSFloatFrequent::createWithName(
      name, std::weak_ptr<DataSourceTarget>(ticker_), [](DataSourceTarget& target, DataSource* s) {
        if (Oscillator* self = static_cast<OscillatorTicker&>(target).oscillator.load())
          self->setDataSourceWithVal(s);
      });
  SharedSourceGroup::join(dataSourceController(), kGroupName, name, source, DSType::Holder);
}

Oscillator::~Oscillator() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass Oscillator::pluginClass() {
  PluginClass oscillator;
  oscillator.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<Oscillator>(type, name, uniqueID);
  };
  oscillator.layout = &Oscillator::buildWindow;
  return oscillator;
}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> Oscillator::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(300, 300, 250, 190));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<Oscillator*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);
  self->waveformView_ = new QKSingleSplineOpenGLView(body);
  column->addWidget(self->waveformView_, 1);

  auto* presets = new QHBoxLayout;
  for (int i = 0; i < 5; ++i) {
    self->presetButtons_[i] = makeButton(QString::fromLatin1(kPresetTitles[i]), 0, body);
    presets->addWidget(self->presetButtons_[i]);
  }
  column->addLayout(presets);

  auto* modes = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    self->loopModeButtons_[i] = makeButton(QString::fromLatin1(kLoopTitles[i]), 1, body);
    modes->addWidget(self->loopModeButtons_[i]);
  }
  self->flipDirectionButton_ = makeButton(QStringLiteral("flip"), 0, body);
  self->pauseButton_ = makeButton(QStringLiteral("pause"), 1, body);
  modes->addWidget(self->flipDirectionButton_);
  modes->addWidget(self->pauseButton_);
  column->addLayout(modes);

  auto* frequency = new QHBoxLayout;
  self->frequencySlider_ = new QKLogSliderControl(body);
  self->frequencySlider_->setFixedHeight(16);
  frequency->addWidget(self->frequencySlider_, 1);
  self->resyncWithClockButton_ = makeButton(QStringLiteral("sync"), 0, body);
  frequency->addWidget(self->resyncWithClockButton_);
  self->optionsPanelButton_ = makeButton(QStringLiteral("options"), 0, body);
  frequency->addWidget(self->optionsPanelButton_);
  column->addLayout(frequency);

  self->titleBarLevelView_ = new TitleBarOnlyCollapsedLevelView(content);
  self->titleBarLevelView_->setGeometry(110, 4, 100, 11);
  self->titleBarLevelView_->show();
  self->buildOptionsPanel(body);
  return window;
}

// The frequency as a typed fraction of whole numbers: cycles over measures.
void Oscillator::buildOptionsPanel(QWidget* body) {
  optionsPanel_ = new BlackTranslucentPanel(body);
  optionsPanel_->hide();
  auto* column = new QVBoxLayout(optionsPanel_);
  column->setContentsMargins(8, 8, 8, 8);
  auto* fraction = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("cycles per measures"), optionsPanel_);
  label->setStyleSheet(QStringLiteral("color: white"));
  fraction->addWidget(label);
  cyclesTextField_ = new QLineEdit(optionsPanel_);
  measuresTextField_ = new QLineEdit(optionsPanel_);
  for (QLineEdit* field : {cyclesTextField_, measuresTextField_}) {
    field->setFixedWidth(40);
    field->setValidator(new QIntValidator(0, 1000000, field));
  }
  auto* over = new QLabel(QStringLiteral("/"), optionsPanel_);
  over->setStyleSheet(QStringLiteral("color: white"));
  fraction->addWidget(cyclesTextField_);
  fraction->addWidget(over);
  fraction->addWidget(measuresTextField_);
  fraction->addStretch(1);
  column->addLayout(fraction);
  column->addStretch(1);
  closeOptionsButton_ = makeButton(QStringLiteral("Done"), 0, optionsPanel_);
  column->addWidget(closeOptionsButton_, 0, Qt::AlignRight);
}

void Oscillator::optionsButtonClicked() {
  if (!optionsPanel_) return;
  // The sheet is a window of its own: it covers the body where it is on screen.
  const QWidget* body = optionsPanel_->parentWidget();
  optionsPanel_->setGeometry(QRect(body->mapToGlobal(QPoint(0, 0)), body->size()));
  optionsPanel_->show();
  optionsPanel_->raise();
}

void Oscillator::closeOptionsPanelClicked() {
  if (optionsPanel_) optionsPanel_->hide();
}

bool Oscillator::optionsPanelShown() const { return optionsPanel_ && !optionsPanel_->isHidden(); }

// Each wave button draws its shape from an image strip of the resources; a
// missing strip leaves the button's title.
void Oscillator::useButtonImages() {
  static const char* const kImageNames[] = {"tri", "cos", "sin", "saw", "square"};
  for (int i = 0; i < 5; ++i) {
    const QString name = QStringLiteral("images/OscillatorTypeBtn-%1").arg(kImageNames[i]);
    const QString path = Paths::resourcePath(name, QStringLiteral("png"));
    if (path.isEmpty()) {
      if (i == Saw) Log::line("\t\terror: couldn't find the path to the resource");
      continue;
    }
    if (!presetButtons_[i]->useThisImageTile(QImage(path), QSizeF(14, 14))) continue;
    presetButtons_[i]->setTitle({});
    presetButtons_[i]->setTitle2({});
  }
}

void Oscillator::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!waveformView_) return;
  useButtonImages();
  titleBarLevelView_->setActive(false);
  titleBarLevel_.store(titleBarLevelView_);
  optionsPanelButton_->setTarget(alive_);
  optionsPanelButton_->setAction([this](QKButtonCell&) {
    MainThread::run([self = QPointer<Oscillator>(this)] {
      if (self && !self->deleted()) self->optionsButtonClicked();
    });
  });
  closeOptionsButton_->setTarget(alive_);
  closeOptionsButton_->setAction([this](QKButtonCell&) {
    MainThread::run([self = QPointer<Oscillator>(this)] {
      if (self && !self->deleted()) self->closeOptionsPanelClicked();
    });
  });
  for (const char* name : {"QKPMRestoreStartNotification", "QKPluginDeletedNotification"})
    observers_.observe(QString::fromLatin1(name), nullptr, [this](const Notification&) {
      MainThread::run([self = QPointer<Oscillator>(this)] {
        if (self && !self->deleted()) self->closeOptionsPanelClicked();
      });
    });
  for (int i = 0; i < 5; ++i) {
    presetButtons_[i]->setTarget(alive_);
    presetButtons_[i]->setAction(
        [this, i](QKButtonCell&) { waveTypeButtonClicked(static_cast<Preset>(i)); });
  }
  for (int i = 0; i < 3; ++i) {
    loopModeButtons_[i]->setTarget(alive_);
    loopModeButtons_[i]->setAction(
        [this, i](QKButtonCell& sender) { loopModeButtonUsed(i, sender.intValue()); });
  }
  flipDirectionButton_->setTarget(alive_);
  flipDirectionButton_->setAction([this](QKButtonCell&) { flipDirectionButtonUsed(); });
  pauseButton_->setTarget(alive_);
  pauseButton_->setAction([this](QKButtonCell& sender) { pauseButtonUsed(sender.intValue()); });
  resyncWithClockButton_->setTarget(alive_);
  resyncWithClockButton_->setAction([this](QKButtonCell&) { resyncWithClockButtonUsed(); });

  frequencySlider_->setSliderName(QStringLiteral("frequency"));
  frequencySlider_->setMinRange(0.0f);
  frequencySlider_->setMaxRange(32.0f);
  for (float mark : {0.5f, 1.0f, 2.0f, 4.0f, 8.0f, 16.0f})
    frequencySlider_->addInterestingPointWithRangedValue(mark);
  frequencySlider_->setTarget(alive_);
  frequencySlider_->setAction([this](QKSliderCell&) {
    if (frequencySlider_) frequencySliderUsed(frequencySlider_->rangedValue());
  });
  frequencySlider_->setValueWithRangedValue(1.0f, true);
  for (QLineEdit* field : {cyclesTextField_, measuresTextField_})
    connect(field, &QLineEdit::editingFinished, this, [this] {
      textFieldUsed(cyclesTextField_->text().toLong(), measuresTextField_->text().toLong());
    });
  loopModeButtons_[OscillatorPhase::Loop]->setIntValue(1, true);
  pauseButton_->setIntValue(0, true);
  waveChanged();
}

void Oscillator::prepareToBeDeleted() {
  if (deleted()) return;
  deleting_.store(true);
  observers_.clear();
  // Once the source is out of the tree no tick reaches this object.
  SharedSourceGroup::leave(dataSourceController(), kGroupName, windowTitle());
  ticker_->oscillator.store(nullptr);
  titleBarLevel_.store(nullptr);
  alive_.reset();
  if (waveformView_) waveformView_->prepareToBeDeleted();
  if (frequencySlider_) frequencySlider_->prepareToBeDeleted();
  for (QKButton* button :
       {resyncWithClockButton_, closeOptionsButton_, optionsPanelButton_, presetButtons_[0],
        presetButtons_[1], presetButtons_[2], presetButtons_[3], presetButtons_[4],
        loopModeButtons_[0], loopModeButtons_[1], loopModeButtons_[2], pauseButton_,
        flipDirectionButton_})
    if (button) button->prepareToBeDeleted();
  QKPlugin::prepareToBeDeleted();
}

void Oscillator::setPluginName(const QString& name) {
  SharedSourceGroup::rename(dataSourceController(), kGroupName, windowTitle(), name);
  QKPlugin::setPluginName(name);
}

// --- Tick ----------------------------------------------------------------------------------

double Oscillator::clockReading() const {
  AppControllerInterface* app = appController();
  MasterClockInterface* clock = app ? app->masterClock() : nullptr;
  if (!clock) return 0.0;
  return double(clock->measuresElapsed()) + double(clock->measurePosition());
}

void Oscillator::setDataSourceWithVal(DataSource* source) {
  if (deleting_.load() || !source) return;
  const OscillatorPhase::Tick tick = phase_.advance(clockReading(), frequency_.load());
  if (tick.paused) {
    // Paused at once; the switch shows it on the main thread.
    MainThread::run([self = QPointer<Oscillator>(this)] {
      if (self && !self->deleted() && self->pauseButton_) self->pauseButton_->setIntValue(1, false);
    });
    return;
  }
  float value = 0.0f;
  if (waveformView_) {
    value = waveformView_->evaluateAt(static_cast<float>(tick.position));
    waveformView_->requestRedraw();
  }
  // Shown only while the palette is collapsed.
  if (TitleBarOnlyCollapsedLevelView* level = titleBarLevel_.load()) level->setVal(value);
  source->setValue(value);
}

// --- Controls ------------------------------------------------------------------------------

void Oscillator::applyPreset(QKSingleSpline& spline, Preset preset) {
  switch (preset) {
    case Triangle:
      straighten(spline);
      spline.addControlPointAtXLoc(0.5f, 1.0f);
      spline.setMagnitudeForPoint(0, 0.0f);
      spline.setMagnitudeForPoint(2, 0.0f);
      break;
    case Cosine:
      setCosine(spline);
      break;
    case Sine:
      setCosine(spline);
      spline.setHOffset(0.25f);
      break;
    case Saw:
      straighten(spline);
      spline.setMagnitudeForPoint(0, 0.0f);
      spline.setMagnitudeForPoint(1, 1.0f);
      spline.setHOffset(0.0f);
      break;
    case Square:
      straighten(spline);
      spline.setMagnitudeForPoint(0, 0.0f);
      spline.setMagnitudeForPoint(1, 0.0f);
      spline.addControlPointAtXLoc(0.249f, 0.0f);
      spline.addControlPointAtXLoc(0.25f, 1.0f);
      spline.addControlPointAtXLoc(0.749f, 1.0f);
      spline.addControlPointAtXLoc(0.75f, 0.0f);
      spline.setHOffset(0.0f);
      break;
  }
}

void Oscillator::waveTypeButtonClicked(Preset preset) {
  if (!waveformView_ || !waveformView_->theSpline()) return;
  applyPreset(*waveformView_->theSpline(), preset);
  waveChanged();
}

void Oscillator::waveChanged() {
  MainThread::run([self = QPointer<Oscillator>(this)] {
    if (!self || self->deleted() || !self->waveformView_) return;
    self->waveformView_->prepareCurvePoints();
    self->waveformView_->update();
  });
}

void Oscillator::loopModeButtonUsed(int mode, int value) {
  if (value != 1 || mode < 0 || mode > 2) return;
  for (int other = 0; other < 3; ++other)
    if (other != mode && loopModeButtons_[other]) loopModeButtons_[other]->setIntValue(0, false);
  phase_.setLoopMode(mode);
  if (mode != OscillatorPhase::Stop && pauseButton_) pauseButton_->setIntValue(0, true);
}

void Oscillator::flipDirectionButtonUsed() {
  phase_.flipDirection();
  if (pauseButton_) pauseButton_->setIntValue(0, true);
}

void Oscillator::pauseButtonUsed(int value) { phase_.setPaused(value == 1); }

void Oscillator::resyncWithClockButtonUsed() {
  const double clock = clockReading();
  const double lastCurrent = phase_.lastCurrentTime();
  phase_.setState(clock * frequency_.load(), lastCurrent, clock, phase_.playingForward());
}

void Oscillator::frequencySliderUsed(float frequency) {
  frequency_.store(frequency);
  MainThread::run([self = QPointer<Oscillator>(this), frequency] {
    if (self && !self->deleted()) self->showFraction(frequency);
  });
}

std::pair<long, long> Oscillator::convertFreqToCycles(float frequency) {
  const long n = std::lround(double(frequency) * 1000.0);
  long g = 1;
  if (n > 1)
    for (long d = std::min(n, 1000L); d >= 2; --d)
      if (1000 % d == 0 && n % d == 0) {
        g = d;
        break;
      }
  return {n / g, 1000 / g};
}

void Oscillator::showFraction(float frequency) {
  if (!cyclesTextField_ || !measuresTextField_) return;
  if (!(frequency > 0.0f)) {
    cyclesTextField_->setText(QStringLiteral("0"));
    measuresTextField_->setText(QStringLiteral("0"));
    return;
  }
  const auto [cycles, measures] = convertFreqToCycles(frequency);
  cyclesTextField_->setText(QString::number(cycles));
  measuresTextField_->setText(QString::number(measures));
}

void Oscillator::textFieldUsed(long cycles, long measures) {
  if (measures <= 0 || !frequencySlider_) return;
  frequencySlider_->setValueWithRangedValue(float(cycles) / float(measures), true);
}

QString Oscillator::cyclesText() const {
  return cyclesTextField_ ? cyclesTextField_->text() : QString();
}

QString Oscillator::measuresText() const {
  return measuresTextField_ ? measuresTextField_->text() : QString();
}

QKButton* Oscillator::presetButton(Preset preset) const { return presetButtons_[preset]; }

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap Oscillator::createSnapshot() const {
  QVariantList components;
  if (frequencySlider_) {
    const QVariantMap slider = frequencySlider_->createSnapshot();
    if (!slider.isEmpty())
      components.append(QVariantMap{{kComponentName, kSliderSettings}, {kFrequencySlider, slider}});
  }
  QVariantMap presets{{kComponentName, kPresetSettings}};
  for (int i = 0; i < 5; ++i)
    if (presetButtons_[i])
      presets.insert(QString::fromLatin1(kPresetKeys[i]), presetButtons_[i]->createSnapshot());
  components.append(presets);
  QVariantMap wave{{kComponentName, kWaveSettings}};
  if (waveformView_) wave.insert(kTheSpline, waveformView_->createSnapshot());
  components.append(wave);

  QVariantMap snapshot{{kSuperSnap, QKPlugin::createSnapshot()}, {kComponentArray, components}};
  const auto addButton = [&snapshot](const QString& key, const QKButton* button) {
    if (button) snapshot.insert(key, button->createSnapshot());
  };
  addButton(kResyncButton, resyncWithClockButton_);
  addButton(kPauseButton, pauseButton_);
  addButton(kFlipButton, flipDirectionButton_);
  for (int i = 0; i < 3; ++i) addButton(QString::fromLatin1(kLoopKeys[i]), loopModeButtons_[i]);
  return snapshot;
}

void Oscillator::loadSnapshot(const QVariantMap& snapshot) {
  QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  const auto loadButton = [&snapshot](const QString& key, QKButton* button) {
    const QVariant stored = snapshot.value(key);
    if (button && stored.typeId() == QMetaType::QVariantMap) button->loadSnapshot(stored.toMap());
  };
  loadButton(kResyncButton, resyncWithClockButton_);
  for (const QVariant& entry : snapshot.value(kComponentArray).toList()) {
    if (entry.typeId() != QMetaType::QVariantMap) continue;
    const QVariantMap component = entry.toMap();
    const QString name = component.value(kComponentName).toString();
    if (name == kWaveSettings) {
      const QVariant spline = component.value(kTheSpline);
      if (waveformView_ && spline.typeId() == QMetaType::QVariantMap) {
        waveformView_->loadSnapshot(spline.toMap());
        waveChanged();
      }
      // The older wave menu overrides a stored curve.
      static const QStringList kMenu{"Triangle", "Cosine", "Sine", "Saw", "Square"};
      const int preset = kMenu.indexOf(component.value(kWaveTypeMenu).toString());
      if (component.contains(kWaveTypeMenu) && preset >= 0)
        waveTypeButtonClicked(static_cast<Preset>(preset));
    } else if (name == kSliderSettings) {
      const QVariant slider = component.value(kFrequencySlider);
      if (frequencySlider_ && slider.typeId() == QMetaType::QVariantMap)
        frequencySlider_->loadSnapshot(slider.toMap());
    } else if (name == kPresetSettings) {
      for (int i = 0; i < 5; ++i) {
        const QVariant stored = component.value(QString::fromLatin1(kPresetKeys[i]));
        if (presetButtons_[i] && stored.typeId() == QMetaType::QVariantMap)
          presetButtons_[i]->loadSnapshot(stored.toMap());
      }
    }
  }
  loadButton(kPauseButton, pauseButton_);
  loadButton(kFlipButton, flipDirectionButton_);
  for (int i = 0; i < 3; ++i) loadButton(QString::fromLatin1(kLoopKeys[i]), loopModeButtons_[i]);
}

#include "app/plugins/waveform/Waveform.h"

#include "app/plugins/manager/PluginComponents.h"
#include "app/plugins/manager/SharedSourceGroup.h"
#include "app/plugins/waveform/WaveShapes.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/datasource/MasterClockInterface.h"
#include "framework/toolkit/QKNSTextLabel.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/TitleBarLevelView.h"

#include <cmath>

const QString Waveform::kTypeName = QStringLiteral("Waveform");
const QString Waveform::kGroupName = QStringLiteral("Oscillators");

// The data source's set call: the waveform while it lives.
struct WaveformTicker : DataSourceTarget {
  std::atomic<Waveform*> waveform{nullptr};
};

namespace {

const QString kComponentArray = QStringLiteral("componentArray");
const QString kComponentName = QStringLiteral("componentName");
const QString kSliderSettings = QStringLiteral("slider settings");
const QString kFrequencySlider = QStringLiteral("frequencySlider");
const QString kWaveSettings = QStringLiteral("wave settings");
const QString kWaveType = QStringLiteral("waveType");
const QString kResyncButton = QStringLiteral("resyncWithClockButton");

// Snapshot keys in load order, with the type each button chooses.
const struct {
  const char* key;
  int type;
} kButtonKeys[] = {
    {"triButtonSnap", WaveShapes::Triangle},  {"cosButtonSnap", WaveShapes::Cosine},
    {"sinButtonSnap", WaveShapes::Sine},      {"sawButtonSnap", WaveShapes::Saw},
    {"squareButtonSnap", WaveShapes::Square}, {"randomButtonSnap", WaveShapes::Random},
    {"drunkbuttonSnap", WaveShapes::Drunk}};

double fraction(double t) {
  const double f = t - std::floor(t);
  return f >= 1.0 ? 0.0 : f;  // a tiny negative t rounds up to 1
}

}  // namespace

Waveform::Waveform(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
      random_(std::random_device{}()),
      ticker_(std::make_shared<WaveformTicker>()) {
  ticker_->waveform.store(this);
  auto source = DSFloatFrequent::createWithName(
      name, std::weak_ptr<DataSourceTarget>(ticker_), [](DataSourceTarget& target, DataSource* s) {
        if (Waveform* self = static_cast<WaveformTicker&>(target).waveform.load())
          self->setDataSourceWithVal(s);
      });
  SharedSourceGroup::join(dataSourceController(), kGroupName, name, source, DSType::Holder);
}

Waveform::~Waveform() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass Waveform::pluginClass() {
  PluginClass waveform;
  waveform.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<Waveform>(type, name, uniqueID);
  };
  waveform.layout = &Waveform::buildWindow;
  return waveform;
}

// --- Window ------------------------------------------------------------------------------------

std::unique_ptr<QWidget> Waveform::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(300, 300, 236, 74));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<Waveform*>(owner);
  if (!self) return window;
  self->titleBarLevelView_ = new TitleBarLevelView(content);
  self->titleBarLevelView_->setGeometry(120, 4, 90, 11);
  self->titleBarLevelView_->show();
  QWidget* body = content->body();
  // Shapes in the order a performer reads them.
  const int order[] = {WaveShapes::Sine, WaveShapes::Cosine, WaveShapes::Triangle,
                       WaveShapes::Saw,  WaveShapes::Square, WaveShapes::Random,
                       WaveShapes::Drunk};
  for (int i = 0; i < WaveShapes::kCount; ++i) {
    auto* button = new QKButton(body);
    button->setButtonType(1);
    button->setTitle(QString());
    button->setTitle2(QString());
    button->setGeometry(4 + i * 24, 4, 22, 20);
    self->waveButtons_[order[i]] = button;
  }
  self->resyncWithClockButton_ = new QKButton(body);
  self->resyncWithClockButton_->setTitle(QStringLiteral("sync"));
  self->resyncWithClockButton_->setTitle2(QStringLiteral("sync"));
  self->resyncWithClockButton_->setGeometry(176, 4, 56, 20);
  self->frequencySlider_ = QKSliderControl::createWithFrame(QRectF(4, 28, 228, 22), body);
  return window;
}

void Waveform::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!frequencySlider_) return;
  frequencySlider_->setSliderName(QStringLiteral("rate"));
  frequencySlider_->setMinRange(0.0f);
  frequencySlider_->setMaxRange(32.0f);
  frequencySlider_->setValueWithRangedValue(1.0f, true);
  for (float mark : {0.5f, 1.0f, 2.0f, 4.0f, 8.0f, 16.0f})
    frequencySlider_->addInterestingPointWithRangedValue(mark);
  for (int type = 0; type < WaveShapes::kCount; ++type) {
    QKButton* button = waveButtons_[type];
    button->useThisImageTile(WaveShapes::buttonStrip(type), QSizeF(14, 14));
    button->setTarget(alive_);
    button->setAction([this, type](QKButtonCell&) { buttonUsed(type); });
  }
  resyncWithClockButton_->setTarget(alive_);
  resyncWithClockButton_->setAction([this](QKButtonCell&) { resyncWithClockButtonUsed(); });
  buttonUsed(WaveShapes::Sine);
  resyncWithClockButtonUsed();
}

void Waveform::prepareToBeDeleted() {
  if (deleted()) return;
  deleting_.store(true);
  // Once the source is out of the tree no tick reaches this object.
  SharedSourceGroup::leave(dataSourceController(), kGroupName, windowTitle());
  ticker_->waveform.store(nullptr);
  alive_.reset();
  for (int type : {WaveShapes::Triangle, WaveShapes::Cosine, WaveShapes::Sine, WaveShapes::Saw,
                   WaveShapes::Square, WaveShapes::Random, WaveShapes::Drunk})
    if (waveButtons_[type]) waveButtons_[type]->prepareToBeDeleted();
  if (frequencySlider_) frequencySlider_->prepareToBeDeleted();
  if (resyncWithClockButton_) resyncWithClockButton_->prepareToBeDeleted();
  QKPlugin::prepareToBeDeleted();
}

void Waveform::setPluginName(const QString& name) {
  SharedSourceGroup::rename(dataSourceController(), kGroupName, windowTitle(), name);
  QKPlugin::setPluginName(name);
}

// --- Oscillator ------------------------------------------------------------------------------

double Waveform::clockReading() const {
  AppControllerInterface* app = appController();
  MasterClockInterface* clock = app ? app->masterClock() : nullptr;
  if (!clock) return 0.0;
  return double(clock->measuresElapsed()) + double(clock->measurePosition());
}

float Waveform::rate() const { return frequencySlider_ ? frequencySlider_->rangedValue() : 1.0f; }

float Waveform::rateNormalised() const {
  return frequencySlider_ ? frequencySlider_->value() : 0.0f;
}

void Waveform::setDataSourceWithVal(DataSource* source) {
  if (deleting_.load() || !source) return;
  const double clock = clockReading();
  const double cyclesPerMeasure = rate();
  const int type = waveType_.load();
  float output = 0.0f;
  {
    std::lock_guard lock(phaseMutex_);
    if (clock >= lastClockTime_)
      currentTime_ = fraction(currentTime_ + (clock - lastClockTime_) * cyclesPerMeasure);
    else
      currentTime_ = 0.0;  // the clock went back: a restart
    lastClockTime_ = clock;
    const double u = double(random_() >> 1) * (1.0 / 2147483648.0);
    output = WaveShapes::value(type, currentTime_, u, lastResult_.load(), rateNormalised());
  }
  lastResult_.store(output);
  if (titleBarLevelView_) titleBarLevelView_->setVal(output);
  source->setValue(output);
}

void Waveform::buttonUsed(int type) {
  if (type < 0 || type >= WaveShapes::kCount) return;
  waveType_.store(type);
  for (int other = 0; other < WaveShapes::kCount; ++other)
    if (waveButtons_[other]) waveButtons_[other]->setIntValue(other == type ? 1 : 0, false);
}

void Waveform::resyncWithClockButtonUsed() {
  const double clock = clockReading();
  const double cycles = rate();
  std::lock_guard lock(phaseMutex_);
  currentTime_ = fraction(clock * cycles);
  lastClockTime_ = clock;
}

void Waveform::setRandomSeed(std::uint32_t seed) {
  std::lock_guard lock(phaseMutex_);
  random_.seed(seed);
}

double Waveform::currentTime() const {
  std::lock_guard lock(phaseMutex_);
  return currentTime_;
}

QKButton* Waveform::waveButton(int type) const {
  return type >= 0 && type < WaveShapes::kCount ? waveButtons_[type] : nullptr;
}

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap Waveform::createSnapshot() const {
  QVariantMap snapshot{{kSuperSnap, QKPlugin::createSnapshot()}};
  if (resyncWithClockButton_) {
    const QVariantMap resync = resyncWithClockButton_->createSnapshot();
    if (!resync.isEmpty()) snapshot.insert(kResyncButton, resync);
  }
  for (const auto& entry : kButtonKeys)
    if (QKButton* button = waveButtons_[entry.type])
      snapshot.insert(QString::fromLatin1(entry.key), button->createSnapshot());
  QVariantMap slider{{kComponentName, kSliderSettings}};
  if (frequencySlider_) {
    const QVariantMap rate = frequencySlider_->createSnapshot();
    if (!rate.isEmpty()) slider.insert(kFrequencySlider, rate);
  }
  const QVariantMap wave{{kComponentName, kWaveSettings}, {kWaveType, waveType_.load()}};
  snapshot.insert(kComponentArray, QVariantList{slider, wave});
  return snapshot;
}

void Waveform::loadSnapshot(const QVariantMap& snapshot) {
  QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  const auto loadButton = [&snapshot](const QString& key, QKButton* button) {
    const QVariant stored = snapshot.value(key);
    if (button && stored.typeId() == QMetaType::QVariantMap) button->loadSnapshot(stored.toMap());
  };
  loadButton(kResyncButton, resyncWithClockButton_);
  for (const auto& entry : kButtonKeys)
    loadButton(QString::fromLatin1(entry.key), waveButtons_[entry.type]);
  for (const QVariant& item : snapshot.value(kComponentArray).toList()) {
    if (item.typeId() != QMetaType::QVariantMap) continue;
    const QVariantMap component = item.toMap();
    // The plug-in manager marks the components it stored for restoring.
    if (!PluginComponents::restorable(component)) continue;
    const QString name = component.value(kComponentName).toString();
    if (name == kSliderSettings) {
      const QVariant rate = component.value(kFrequencySlider);
      if (frequencySlider_ && rate.typeId() == QMetaType::QVariantMap)
        frequencySlider_->loadSnapshot(rate.toMap());
    } else if (name == kWaveSettings) {
      const QVariant stored = component.value(kWaveType);
      bool ok = false;
      const double type = stored.toDouble(&ok);
      if (ok && stored.typeId() != QMetaType::QString && type >= 0 && type <= 6 &&
          type == std::floor(type))
        buttonUsed(int(type));
    }
  }
}

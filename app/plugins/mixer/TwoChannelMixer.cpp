#include "app/plugins/mixer/TwoChannelMixer.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/manager/PluginComponents.h"
#include "app/plugins/manager/SharedSourceGroup.h"
#include "app/plugins/mixer/TCMSplineView.h"
#include "app/sources/MovieSource.h"
#include "app/sources/VidSourceObject.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderCellDelegate.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/media/QKMediaBinHost.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKNSTextLabel.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QLocale>
#include <QTimer>

#include <chrono>
#include <cmath>

const QString TwoChannelMixer::kTypeName = QStringLiteral("TwoChannelMixer");
const QString TwoChannelMixer::kGroupName = QStringLiteral("Mixers");

// The data source's set call: the mixer while it lives.
struct MixerTicker : DataSourceTarget {
  std::atomic<TwoChannelMixer*> mixer{nullptr};
};

// The crossfader's delegate: a change of its binding reaches the mixer on
// the main thread.
struct MixerSliderDelegate : QKSliderCellDelegate {
  QPointer<TwoChannelMixer> mixer;
  void QKSliderSyncFlagChanged(QKSliderCell&) override {
    MainThread::run([mixer = mixer] {
      if (mixer && !mixer->deleted()) mixer->crossfaderSyncFlagChanged();
    });
  }
};

namespace {

const QString kSourceLayers = QStringLiteral("sourceLayers");
const QString kLeftMenuController = QStringLiteral("leftMenuController");
const QString kRightMenuController = QStringLiteral("rightMenuController");
const QString kFadeNowButton = QStringLiteral("fadeNowButton");
const QString kCutNowButton = QStringLiteral("cutNowButton");
const QString kFadeTimeSlider = QStringLiteral("fadeTimeSlider");
const QString kComponentArray = QStringLiteral("componentArray");
const QString kComponentName = QStringLiteral("componentName");
const QString kCrossfader = QStringLiteral("crossfader");
const QString kAutoFade = QStringLiteral("Auto-Fade?");
const QString kAutoFadeButton = QStringLiteral("autoFadeButton");
const QString kAudioFade = QStringLiteral("Audio-Fade?");
const QString kAudioFadeButton = QStringLiteral("audioFadeButton");
const QString kFadeTime = QStringLiteral("Fade Time");
const QString kFadeDurationTextField = QStringLiteral("fadeDurationTextField");
const QString kFadeCurves = QStringLiteral("Fade curves");
const QString kNewFile = QStringLiteral("newFile");

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

QKButton* makeButton(QWidget* parent, const QString& title, int type, const QRect& frame) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(type);
  button->setGeometry(frame);
  return button;
}

QCheckBox* makeCheckBox(QWidget* parent, const QString& title, const QRect& frame) {
  auto* box = new QCheckBox(title, parent);
  box->setStyleSheet(QStringLiteral("color: white; font-size: 9pt"));
  box->setGeometry(frame);
  return box;
}

// Reads an integer state from a snapshot number; nothing for other values.
std::optional<int> intOf(const QVariant& value) {
  bool ok = false;
  const double number = value.toDouble(&ok);
  if (!ok || !std::isfinite(number) || value.typeId() == QMetaType::QString) return std::nullopt;
  return int(number);
}

std::optional<float> finiteFloatOf(const QVariant& value) {
  bool ok = false;
  const double number = value.toDouble(&ok);
  if (!ok || !std::isfinite(number) || value.typeId() == QMetaType::QString) return std::nullopt;
  return float(number);
}

std::shared_ptr<Layer> findLayerPtr(const std::vector<std::shared_ptr<Layer>>& layers,
                                    const QString& name) {
  for (const auto& layer : layers) {
    if (!layer) continue;
    if (layer->layerName() == name) return layer;
    if (auto found = findLayerPtr(layer->layerArray(), name)) return found;
  }
  return nullptr;
}

// A layer reference let go on a thread other than the main one is handed to
// the main thread when it may be the last: a layer is only ever destroyed
// there.
void releaseOnMain(std::shared_ptr<Layer>& layer) {
  if (!layer) return;
  if (!MainThread::isMainThread() && layer.use_count() == 1)
    MainThread::post([last = std::move(layer)] {});
  layer.reset();
}

}  // namespace

TwoChannelMixer::TwoChannelMixer(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
      ticker_(std::make_shared<MixerTicker>()),
      sliderDelegate_(std::make_shared<MixerSliderDelegate>()),
      now_(&steadySeconds) {
  ticker_->mixer.store(this);
  sliderDelegate_->mixer = this;
  auto source = DSFloatFrequent::createWithName(
      name, std::weak_ptr<DataSourceTarget>(ticker_), [](DataSourceTarget& target, DataSource* s) {
        if (TwoChannelMixer* self = static_cast<MixerTicker&>(target).mixer.load())
          self->setDataSourceWithVal(s);
      });
  SharedSourceGroup::join(dataSourceController(), kGroupName, name, source, DSType::Holder);
  layerTriggerObserver_.observe(
      Layer::kTriggerFileNotification, nullptr,
      [this](const Notification& n) { layerTriggeredFile(n.object, n.userInfo); });
  observers_.observe(QKRTapMenuController::kRestoreStartNotification, nullptr,
                     [this](const Notification&) {
                       layerTriggerObserver_.clear();
                       preventFade_.store(true);
                       if (optionsPanelOpen()) closeOptionsPanel();
                     });
  observers_.observe(
      QKRTapMenuController::kRestoreEndNotification, nullptr, [this](const Notification&) {
        layerTriggerObserver_.clear();
        layerTriggerObserver_.observe(
            Layer::kTriggerFileNotification, nullptr,
            [this](const Notification& n) { layerTriggeredFile(n.object, n.userInfo); });
        preventFade_.store(false);
      });
}

TwoChannelMixer::~TwoChannelMixer() {
  layerTriggerObserver_.clear();
  observers_.clear();
  if (!deleted()) prepareToBeDeleted();
  invalidateTimer();
}

PluginClass TwoChannelMixer::pluginClass() {
  PluginClass mixer;
  mixer.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<TwoChannelMixer>(type, name, uniqueID);
  };
  mixer.layout = &TwoChannelMixer::buildWindow;
  return mixer;
}

// --- Window ------------------------------------------------------------------------------------

std::unique_ptr<QWidget> TwoChannelMixer::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(300, 300, 260, 174));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<TwoChannelMixer*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  self->leftButton_ = new QKNSPopUpButton(body);
  self->leftButton_->setGeometry(4, 4, 124, 18);
  self->rightButton_ = new QKNSPopUpButton(body);
  self->rightButton_->setGeometry(132, 4, 124, 18);
  self->splineView_ = new TCMSplineView(body);
  self->splineView_->setGeometry(4, 26, 252, 72);
  self->crossfader_ = QKSliderControl::createWithFrame(QRectF(4, 102, 252, 22), body);
  self->fadeNowButton_ = makeButton(body, QStringLiteral("Fade"), 1, QRect(4, 130, 60, 18));
  self->cutNowButton_ = makeButton(body, QStringLiteral("Cut"), 1, QRect(68, 130, 60, 18));
  self->openOptionsPanelButton_ =
      makeButton(body, QStringLiteral("Options"), 0, QRect(192, 130, 64, 18));
  self->leftMenuController_ = new QKRTapMenuController(self);
  self->rightMenuController_ = new QKRTapMenuController(self);
  self->buildOptionsPanel(body);
  return window;
}

// The options sheet covers the body while it is open.
void TwoChannelMixer::buildOptionsPanel(QWidget* body) {
  optionsPanel_ = new QFrame(body);
  optionsPanel_->setObjectName(QStringLiteral("mixerOptionsSheet"));
  optionsPanel_->setFrameShape(QFrame::Box);
  optionsPanel_->setAutoFillBackground(true);
  QPalette colours = optionsPanel_->palette();
  colours.setColor(QPalette::Window, QColor(40, 40, 40));
  colours.setColor(QPalette::WindowText, QColor(140, 140, 140));
  optionsPanel_->setPalette(colours);
  optionsPanel_->setGeometry(0, 0, 260, 155);
  fadeTimeSlider_ = QKSliderControl::createWithFrame(QRectF(4, 8, 252, 22), optionsPanel_);
  auto* seconds = new QKNSTextLabel(QStringLiteral("fade time (seconds)"), optionsPanel_);
  seconds->setGeometry(4, 38, 110, 18);
  fadeDurationTextField_ = new QLineEdit(optionsPanel_);
  fadeDurationTextField_->setGeometry(118, 37, 60, 20);
  autoFadeButton_ =
      makeCheckBox(optionsPanel_, QStringLiteral("auto-fade on trigger"), QRect(4, 64, 200, 20));
  audioFadeButton_ =
      makeCheckBox(optionsPanel_, QStringLiteral("fade movie volume too"), QRect(4, 88, 200, 20));
  closeOptionsPanelButton_ =
      makeButton(optionsPanel_, QStringLiteral("Done"), 0, QRect(196, 128, 56, 18));
  optionsPanel_->hide();
}

void TwoChannelMixer::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!crossfader_) return;
  crossfaderCell_ = crossfader_->cellPtr();
  fadeNowCell_ = fadeNowButton_->cell();
  cutNowCell_ = cutNowButton_->cell();
  leftCurve_ = splineView_->leftSpline();
  rightCurve_ = splineView_->rightSpline();
  splineView_->awakeFromNib();
  fadeNowButton_->setTriggerOnMain(true);
  cutNowButton_->setTriggerOnMain(true);
  connectControls();
  leftMenuController_->setButton(leftButton_);
  rightMenuController_->setButton(rightButton_);
  leftMenuController_->setMyAction([self = QPointer<TwoChannelMixer>(this)] {
    if (self) self->leftMenuUsed();
  });
  rightMenuController_->setMyAction([self = QPointer<TwoChannelMixer>(this)] {
    if (self) self->rightMenuUsed();
  });
  leftMenuController_->awakeFromNib();
  rightMenuController_->awakeFromNib();
  NotificationCenter::defaultCenter().post(QKTapManager::kNewTapNotification,
                                           static_cast<QKTapClient*>(this));
  crossfader_->setSliderName(QStringLiteral("crossfader"));
  fadeTimeSlider_->setSliderName(QStringLiteral("fade time"));
  fadeTimeSlider_->setMinRange(0.0f);
  fadeTimeSlider_->setMaxRange(10.0f);
  fadeTimeSlider_->setValueWithRangedValue(1.0f, true);
  observers_.observe(QKPluginManager::kPluginDeletedNotification, nullptr,
                     [this](const Notification&) {
                       if (optionsPanelOpen()) closeOptionsPanel();
                     });
}

void TwoChannelMixer::connectControls() {
  crossfader_->setDelegate(sliderDelegate_);
  crossfader_->setTarget(alive_);
  crossfader_->setAction([this](QKSliderCell&) { crossfaderUsed(); });
  fadeTimeSlider_->setTarget(alive_);
  fadeTimeSlider_->setAction([this](QKSliderCell&) {
    MainThread::run([self = QPointer<TwoChannelMixer>(this)] {
      if (self && !self->deleted()) self->fadeTimeSliderUsed();
    });
  });
  fadeNowButton_->setTarget(alive_);
  fadeNowButton_->setAction(
      [this](QKButtonCell& sender) { fadeToggleButtonUsed(sender.intValue()); });
  cutNowButton_->setTarget(alive_);
  cutNowButton_->setAction([this](QKButtonCell& sender) { toggleButtonUsed(sender.intValue()); });
  openOptionsPanelButton_->setTarget(alive_);
  openOptionsPanelButton_->setAction([this](QKButtonCell&) {
    MainThread::run([self = QPointer<TwoChannelMixer>(this)] {
      if (self && !self->deleted()) self->openOptionsPanel();
    });
  });
  closeOptionsPanelButton_->setTarget(alive_);
  closeOptionsPanelButton_->setAction([this](QKButtonCell&) {
    MainThread::run([self = QPointer<TwoChannelMixer>(this)] {
      if (self && !self->deleted()) self->closeOptionsPanel();
    });
  });
  connect(fadeDurationTextField_, &QLineEdit::editingFinished, this,
          [this] { fadeDurationTextFieldUsed(); });
  connect(audioFadeButton_, &QCheckBox::stateChanged, this,
          [this](int state) { audioFadeState_.store(state == Qt::Checked ? 1 : 0); });
}

void TwoChannelMixer::prepareToBeDeleted() {
  if (deleted()) return;
  deleting_.store(true);
  if (splineView_) splineView_->prepareToBeDeleted();
  for (QKRTapMenuController* menu : {leftMenuController_, rightMenuController_})
    if (menu) menu->prepareToBeDeleted();
  for (QKButton* button :
       {fadeNowButton_, cutNowButton_, openOptionsPanelButton_, closeOptionsPanelButton_})
    if (button) button->prepareToBeDeleted();
  // Once the source is out of the tree no tick reaches this object.
  SharedSourceGroup::leave(dataSourceController(), kGroupName, windowTitle());
  ticker_->mixer.store(nullptr);
  sliderDelegate_->mixer = nullptr;
  if (crossfader_) crossfader_->prepareToBeDeleted();
  if (fadeTimeSlider_) fadeTimeSlider_->prepareToBeDeleted();
  alive_.reset();
  invalidateTimer();
  {
    std::lock_guard lock(sidesMutex_);
    left_ = right_ = Side{};
  }
  QKPlugin::prepareToBeDeleted();
}

void TwoChannelMixer::setPluginName(const QString& name) {
  SharedSourceGroup::rename(dataSourceController(), kGroupName, windowTitle(), name);
  QKPlugin::setPluginName(name);
}

// --- Crossfader ----------------------------------------------------------------------------

void TwoChannelMixer::crossfaderUsed() {
  const std::shared_ptr<QKSliderCell> crossfader = crossfaderCell_;
  if (!crossfader || deleting_.load()) return;
  const float v = crossfader->value();
  crossfaderValue_.store(v);
  if (preventFade_.load()) return;
  const float l = leftCurve_ ? leftCurve_->evaluateAt(v) : 1.0f - v;
  const float r = rightCurve_ ? rightCurve_->evaluateAt(v) : v;
  const bool audio = audioFadeState_.load() == 1;
  applyToSide(side(true), l, audio);
  applyToSide(side(false), r, audio);
  const int state = v > 0.5f ? 1 : 0;
  if (cutNowCell_) cutNowCell_->setIntValue(state, false);
  if (fadeNowCell_) fadeNowCell_->setIntValue(state, false);
}

void TwoChannelMixer::applyToSide(const Side& side, float level, bool audio) {
  if (auto alpha = side.alpha.lock()) alpha->setValue(level, true);
  if (!audio) return;
  std::shared_ptr<Layer> layer = side.layer.lock();
  const bool movie = layer && !layer->deleted() && layer->currentSourceAsString() == Layer::kMovie;
  releaseOnMain(layer);
  if (!movie) return;
  if (auto volume = side.volume.lock()) volume->setValue(level, true);
}

void TwoChannelMixer::setDataSourceWithVal(DataSource* source) {
  if (source) source->setValue(crossfaderValue_.load());
}

// --- Controls ------------------------------------------------------------------------------

void TwoChannelMixer::fadeToggleButtonUsed(int state) {
  invalidateTimer();
  startFadeTo(state == 1 ? 1.0f : 0.0f);
}

void TwoChannelMixer::toggleButtonUsed(int state) {
  invalidateTimer();
  if (crossfaderCell_) crossfaderCell_->setValue(state == 1 ? 1.0f : 0.0f, true);
}

void TwoChannelMixer::fadeTimeSliderUsed() {
  if (!fadeTimeSlider_) return;
  fadeDuration_ = fadeTimeSlider_->rangedValue();
  showFadeDuration();
}

bool TwoChannelMixer::fadeDurationTextFieldUsed() {
  if (!fadeDurationTextField_) return false;
  bool ok = false;
  const QString text = fadeDurationTextField_->text().trimmed();
  double seconds = QLocale::c().toDouble(text, &ok);
  if (!ok) seconds = QLocale().toDouble(text, &ok);
  if (!ok || !std::isfinite(seconds) || seconds < 0 || !std::isfinite(float(seconds))) {
    showFadeDuration();  // refused: the field keeps the duration in use
    return false;
  }
  fadeDuration_ = float(seconds);
  if (fadeTimeSlider_) fadeTimeSlider_->setValueWithRangedValue(fadeDuration_, false);
  if (QWidget* win = fadeDurationTextField_->window()) win->setFocus();
  return true;
}

void TwoChannelMixer::showFadeDuration() {
  if (fadeDurationTextField_)
    fadeDurationTextField_->setText(QString::number(fadeDuration_, 'g', 6));
}

TwoChannelMixer::Side TwoChannelMixer::sideNamed(const QString& name) const {
  Side found;
  Compositor* comp = compositor();
  if (name.isEmpty() || !comp) return found;
  const std::shared_ptr<Layer> layer = findLayerPtr(comp->topLevelLayers(), name);
  if (!layer) return found;
  found.layer = layer;
  if (QKSliderControl* alpha = layer->alphaSlider()) found.alpha = alpha->cellPtr();
  if (auto* movie = dynamic_cast<MovieSource*>(layer->sourceOfKind(VidSourceObject::kMovieSource)))
    if (QKSliderControl* volume = movie->volumeSlider()) found.volume = volume->cellPtr();
  return found;
}

void TwoChannelMixer::leftMenuUsed() {
  Side chosen = leftMenuController_ ? sideNamed(leftMenuController_->lastSelectedName()) : Side{};
  std::lock_guard lock(sidesMutex_);
  left_ = std::move(chosen);
}

void TwoChannelMixer::rightMenuUsed() {
  Side chosen = rightMenuController_ ? sideNamed(rightMenuController_->lastSelectedName()) : Side{};
  std::lock_guard lock(sidesMutex_);
  right_ = std::move(chosen);
}

TwoChannelMixer::Side TwoChannelMixer::side(bool left) const {
  std::lock_guard lock(sidesMutex_);
  return left ? left_ : right_;
}

std::shared_ptr<Layer> TwoChannelMixer::leftLayer() const { return side(true).layer.lock(); }
std::shared_ptr<Layer> TwoChannelMixer::rightLayer() const { return side(false).layer.lock(); }

Compositor* TwoChannelMixer::compositor() const {
  if (compositorOverride_) return compositorOverride_;
  auto* host = dynamic_cast<QKMediaBinHost*>(appController());
  return host ? dynamic_cast<Compositor*>(host->compositor()) : nullptr;
}

void TwoChannelMixer::crossfaderSyncFlagChanged() {
  if (crossfaderCell_ && crossfaderCell_->syncFlag() && fadeRunning()) invalidateTimer();
}

void TwoChannelMixer::openOptionsPanel() {
  if (!optionsPanel_) return;
  optionsPanel_->raise();
  optionsPanel_->show();
}

void TwoChannelMixer::closeOptionsPanel() {
  if (optionsPanel_) optionsPanel_->hide();
}

bool TwoChannelMixer::optionsPanelOpen() const {
  return optionsPanel_ && !optionsPanel_->isHidden();
}

// --- Fades ---------------------------------------------------------------------------------

void TwoChannelMixer::startFadeTo(float target) {
  if (deleted() || deleting_.load() || !crossfaderCell_) return;
  if (!MainThread::isMainThread()) {
    MainThread::run([self = QPointer<TwoChannelMixer>(this), target] {
      if (self) self->startFadeTo(target);
    });
    return;
  }
  invalidateTimer();
  fadeStartValue_ = crossfaderCell_->value();
  fadeDestinationValue_ = target;
  fadeStartTime_ = now_();
  fadeTimer_ = new QTimer(this);
  fadeTimer_->setTimerType(Qt::PreciseTimer);
  fadeTimer_->setInterval(int(kFadeTimerInterval * 1000));
  connect(fadeTimer_, &QTimer::timeout, this, [this] { fadeTimerCallback(); });
  fadeTimer_->start();
}

void TwoChannelMixer::invalidateTimer() {
  if (fadeTimer_) {
    fadeTimer_->stop();
    fadeTimer_->deleteLater();
    fadeTimer_ = nullptr;
  }
  fadeStartTime_.reset();
}

void TwoChannelMixer::fadeTimerCallback() {
  if (!fadeStartTime_ || !crossfaderCell_) return;
  const double d = fadeDuration_;
  const double e = now_() - *fadeStartTime_;
  float x = fadeDestinationValue_;
  bool done = true;
  if (!(e > d) && d > 0) {
    x = float(double(fadeStartValue_) +
              (e / d) * (double(fadeDestinationValue_) - double(fadeStartValue_)));
    done = false;
  }
  const float low = crossfaderCell_->minEnv();
  const float high = crossfaderCell_->maxEnv();
  if (x <= low) {
    x = low;
    done = true;
  } else if (x >= high) {
    x = high;
    done = true;
  }
  crossfaderCell_->setValue(x, true);
  if (done) invalidateTimer();
}

// --- Auto-fade -----------------------------------------------------------------------------

void TwoChannelMixer::layerTriggeredFile(const void* layer, const QVariantMap& userInfo) {
  if (deleted() || deleting_.load() || !autoFadeButton_ || !autoFadeButton_->isChecked()) return;
  if (!layer || !userInfo.contains(kNewFile)) return;
  if (const auto left = leftLayer(); left && static_cast<const void*>(left.get()) == layer)
    startFadeTo(0.0f);
  else if (const auto right = rightLayer(); right && static_cast<const void*>(right.get()) == layer)
    startFadeTo(1.0f);
}

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap TwoChannelMixer::createSnapshot() const {
  QVariantMap snapshot{{kSuperSnap, QKPlugin::createSnapshot()}};
  QVariantMap layers;
  if (leftMenuController_)
    layers.insert(kLeftMenuController, leftMenuController_->createSnapshot());
  if (rightMenuController_)
    layers.insert(kRightMenuController, rightMenuController_->createSnapshot());
  snapshot.insert(kSourceLayers, layers);
  const auto addButton = [&snapshot](const QString& key, const QKButton* button) {
    if (!button) return;
    const QVariantMap stored = button->createSnapshot();
    if (!stored.isEmpty()) snapshot.insert(key, stored);
  };
  addButton(kFadeNowButton, fadeNowButton_);
  addButton(kCutNowButton, cutNowButton_);
  if (fadeTimeSlider_) {
    const QVariantMap slider = fadeTimeSlider_->createSnapshot();
    if (!slider.isEmpty()) snapshot.insert(kFadeTimeSlider, slider);
  }
  QVariantList components;
  if (crossfader_) {
    QVariantMap crossfader = crossfader_->createSnapshot();
    if (!crossfader.isEmpty()) {
      crossfader.insert(kComponentName, kCrossfader);
      components.append(crossfader);
    }
  }
  components.append(
      QVariantMap{{kComponentName, kAutoFade},
                  {kAutoFadeButton, autoFadeButton_ && autoFadeButton_->isChecked() ? 1 : 0}});
  components.append(
      QVariantMap{{kComponentName, kAudioFade}, {kAudioFadeButton, audioFadeState_.load()}});
  components.append(
      QVariantMap{{kComponentName, kFadeTime}, {kFadeDurationTextField, double(fadeDuration_)}});
  if (splineView_) {
    QVariantMap curves = splineView_->createSnapshot();
    if (!curves.isEmpty()) {
      curves.insert(kComponentName, kFadeCurves);
      components.append(curves);
    }
  }
  snapshot.insert(kComponentArray, components);
  return snapshot;
}

void TwoChannelMixer::loadSnapshot(const QVariantMap& snapshot) {
  QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  const QVariant layers = snapshot.value(kSourceLayers);
  if (layers.typeId() == QMetaType::QVariantMap) {
    const QVariantMap sides = layers.toMap();
    const auto loadMenu = [&sides](const QString& key, QKRTapMenuController* menu) {
      if (menu) menu->loadSnapshot(sides.value(key).toMap());
    };
    loadMenu(kLeftMenuController, leftMenuController_);
    loadMenu(kRightMenuController, rightMenuController_);
    // The pop-ups show the names at their next reload; the sides follow now.
    leftMenuUsed();
    rightMenuUsed();
  }
  const auto loadButton = [&snapshot](const QString& key, QKButton* button) {
    const QVariant stored = snapshot.value(key);
    if (button && stored.typeId() == QMetaType::QVariantMap)
      button->cell()->loadSnapshot(stored.toMap(), false);
  };
  loadButton(kFadeNowButton, fadeNowButton_);
  loadButton(kCutNowButton, cutNowButton_);
  const QVariant fadeTime = snapshot.value(kFadeTimeSlider);
  if (fadeTimeSlider_ && fadeTime.typeId() == QMetaType::QVariantMap)
    fadeTimeSlider_->loadSnapshot(fadeTime.toMap());
  for (const QVariant& entry : snapshot.value(kComponentArray).toList()) {
    if (entry.typeId() != QMetaType::QVariantMap) continue;
    const QVariantMap component = entry.toMap();
    // The plug-in manager marks the components it stored for restoring.
    if (!PluginComponents::restorable(component)) continue;
    const QString name = component.value(kComponentName).toString();
    if (name == kCrossfader) {
      if (crossfader_) crossfader_->loadSnapshot(component);
    } else if (name == kAutoFade) {
      if (const auto state = intOf(component.value(kAutoFadeButton)); state && autoFadeButton_)
        autoFadeButton_->setChecked(*state == 1);
    } else if (name == kAudioFade) {
      if (const auto state = intOf(component.value(kAudioFadeButton)); state && audioFadeButton_) {
        audioFadeButton_->setChecked(*state == 1);
        audioFadeState_.store(*state);
      }
    } else if (name == kFadeTime) {
      if (const auto seconds = finiteFloatOf(component.value(kFadeDurationTextField));
          seconds && *seconds >= 0) {
        fadeDuration_ = *seconds;
        showFadeDuration();
      }
    } else if (name == kFadeCurves) {
      if (splineView_) splineView_->loadSnapshot(component);
    }
  }
  crossfaderUsed();
}

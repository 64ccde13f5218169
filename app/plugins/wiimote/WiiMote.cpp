#include "app/plugins/wiimote/WiiMote.h"

#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/wiimote/ColorChangePanel.h"
#include "app/plugins/wiimote/WiimoteOptionsController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DSPointHolder.h"
#include "framework/datasource/DSPointHolderDelegate.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/display/PointerControl.h"
#include "platform/foundation/DelayedCalls.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/wiiremote/WiiRemote.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPointer>

#include <algorithm>
#include <atomic>
#include <cmath>

const QString WiiMote::kTypeName = QStringLiteral("WiiMote");

// What the point holders read on the tick: the IR point and the sticks.
struct WiiPointSource : DSPointHolderDelegate {
  std::atomic<DSPointHolder*> ir{nullptr}, chuk{nullptr}, classicL{nullptr}, classicR{nullptr};
  std::atomic<float> xIR{0}, yIR{0};
  std::array<std::atomic<float>, 6> sticks{};  // chuk x y, left x y, right x y

  float xValForPointHolder(DSPointHolder* holder) override { return component(holder, 0); }
  float yValForPointHolder(DSPointHolder* holder) override { return component(holder, 1); }
  float component(DSPointHolder* holder, int axis) {
    if (holder == ir.load()) return std::clamp((axis ? yIR : xIR).load(), 0.0f, 1.0f);
    if (holder == chuk.load()) return sticks[0 + axis].load();
    if (holder == classicL.load()) return sticks[2 + axis].load();
    if (holder == classicR.load()) return sticks[4 + axis].load();
    return 0.0f;
  }
};

// The sources' references, by button code and sensor; the tree owns them.
struct WiiMote::Sources {
  std::array<std::shared_ptr<DataSource>, 28> buttons;
  std::array<std::array<std::shared_ptr<DataSource>, 3>, 2> accel;        // remote, nunchuk
  std::array<std::array<std::shared_ptr<DataSource>, 3>, 2> orientation;  // by Axis
};

namespace {

const QString kWiiMote = QStringLiteral("WiiMote");
const QString kNunChuk = QStringLiteral("NunChuk");
const QString kClassic = QStringLiteral("Classic");
const QString kHidden = QStringLiteral("Hidden");
const QString kAccel = QStringLiteral("Accel.");
const QString kOrientation = QStringLiteral("Orientation");
const QString kSuperSnapKey = QStringLiteral("superSnap");
const QString kDetectButton = QStringLiteral("detectButton");
const QString kMote = QStringLiteral("mote");
const QString kAddress = QStringLiteral("address");
const QString kLeds = QStringLiteral("leds");

// Keys of the base set's buttons with their codes.
const struct {
  const char* key;
  int code;
} kRemoteButtons[] = {{"wiiA", 0},    {"wiiB", 1},      {"wiiUp", 7}, {"wiiDown", 8},
                      {"wiiLeft", 9}, {"wiiRight", 10}, {"Minus", 4}, {"Plus", 6},
                      {"Home", 5},    {"1", 2},         {"2", 3}};
const struct {
  const char* key;
  const char* name;
  int code;
} kClassicButtons[] = {
    {"classicX", "X", 13},         {"classicY", "Y", 14},       {"classicA", "A", 15},
    {"classicB", "B", 16},         {"classicL", "L", 17},       {"classicR", "R", 18},
    {"classicZL", "ZL", 19},       {"classicZR", "ZR", 20},     {"classicUp", "Up", 21},
    {"classicDown", "Down", 22},   {"classicLeft", "Left", 23}, {"classicRight", "Right", 24},
    {"classicMinus", "Minus", 25}, {"classicHome", "Home", 26}, {"classicPlus", "Plus", 27}};

const char* const kAxisNames[] = {"Pitch", "Roll", "Yaw"};

// Snapshot keys of the options, in the order they are stored and read.
struct OptionKey {
  QString key;
  bool nunchuk;
  WiiOrientation::Axis axis;
  enum Field { Offset, ClipLow, ClipHigh, Invert } field;
};
const std::vector<OptionKey>& kOptionKeys() {
  static const std::vector<OptionKey> keys = [] {
    std::vector<OptionKey> made;
    using A = WiiOrientation::Axis;
    for (bool nunchuk : {false, true}) {
      const auto name = [nunchuk](A axis, const char* field) {
        return QString::fromLatin1(nunchuk ? "nun" : "wii") +
               QString::fromLatin1(kAxisNames[axis]) + QString::fromLatin1(field);
      };
      for (A axis : {A::Pitch, A::Roll, A::Yaw})
        made.push_back({name(axis, "Offset"), nunchuk, axis, OptionKey::Offset});
      for (A axis : {A::Pitch, A::Roll, A::Yaw}) {
        made.push_back({name(axis, "ClipLow"), nunchuk, axis, OptionKey::ClipLow});
        made.push_back({name(axis, "ClipHigh"), nunchuk, axis, OptionKey::ClipHigh});
      }
      for (A axis : {A::Pitch, A::Roll, A::Yaw})
        made.push_back({name(axis, "Invert"), nunchuk, axis, OptionKey::Invert});
    }
    return made;
  }();
  return keys;
}

std::optional<double> finiteNumber(const QVariant& value) {
  if (value.typeId() == QMetaType::QString || !value.isValid()) return std::nullopt;
  bool ok = false;
  const double number = value.toDouble(&ok);
  if (!ok || !std::isfinite(number)) return std::nullopt;
  return number;
}

QKButton* makeButton(QWidget* parent, const QString& title, const QRect& frame) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setGeometry(frame);
  return button;
}

QCheckBox* makeCheckBox(QWidget* parent, const QString& title, const QRect& frame) {
  auto* box = new QCheckBox(title, parent);
  box->setStyleSheet(QStringLiteral("color: white; font-size: 8pt"));
  box->setGeometry(frame);
  return box;
}

}  // namespace

WiiMote::WiiMote(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
      sources_(std::make_unique<Sources>()),
      points_(std::make_shared<WiiPointSource>()) {
  if (DataSourceController* tree = dataSourceController())
    tree->setDataSource(DataSourceHolder::createWithName(name, DSType::Holder), KeyPath{name});
  observers_.observe(QStringLiteral("QKPMRestoreStartNotification"), nullptr,
                     [this](const Notification&) {
                       if (optionsPanelOpen()) closeOptionsPanel();
                     });
  sliderManager_ = nullptr;
  NotificationCenter::defaultCenter().post(QKSliderManager::kFinderNotification,
                                           static_cast<SliderManagerClient*>(this));
}

WiiMote::~WiiMote() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass WiiMote::pluginClass() {
  PluginClass wii;
  wii.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<WiiMote>(type, name, uniqueID);
  };
  wii.layout = &WiiMote::buildWindow;
  return wii;
}

// --- Window ------------------------------------------------------------------------------------

std::unique_ptr<QWidget> WiiMote::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(300, 300, 270, 178));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<WiiMote*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  self->detectButton_ = makeButton(body, QStringLiteral("Detect"), QRect(4, 4, 60, 18));
  self->openOptionsButton_ = makeButton(body, QStringLiteral("Options"), QRect(68, 4, 60, 18));
  self->batteryIndicator_ = new ColorChangePanel(body);
  self->batteryIndicator_->setGeometry(216, 4, 50, 18);
  self->textView_ = new QLabel(body);
  self->textView_->setGeometry(4, 26, 262, 30);
  self->textView_->setWordWrap(true);
  self->textView_->setStyleSheet(QStringLiteral("color: white; font-size: 8pt"));
  for (int i = 0; i < 4; ++i)
    self->leds_[i] = makeCheckBox(body, QString::number(i + 1), QRect(4 + i * 32, 62, 32, 18));
  self->enableMouseModeToggle_ =
      makeCheckBox(body, QStringLiteral("1+2: mouse mode"), QRect(134, 62, 132, 18));
  self->buildOptionsPanel(body);
  return window;
}

void WiiMote::buildOptionsPanel(QWidget* body) {
  optionsPanel_ = new QFrame(body);
  optionsPanel_->setFrameShape(QFrame::Box);
  optionsPanel_->setAutoFillBackground(true);
  QPalette colours = optionsPanel_->palette();
  colours.setColor(QPalette::Window, QColor(40, 40, 40));
  optionsPanel_->setPalette(colours);
  optionsController_ = new WiimoteOptionsController(this, optionsPanel_);
  optionsPanel_->setGeometry(QRect(QPoint(0, 0), optionsController_->panelSize()));
  closeOptionsButton_ = makeButton(optionsPanel_, QStringLiteral("Done"),
                                   QRect(optionsPanel_->width() - 60, 1, 56, 16));
  optionsPanel_->hide();
}

void WiiMote::awakeFromNib() {
  if (batteryIndicator_) batteryIndicator_->hide();
  QKPlugin::awakeFromNib();
  subscribeBaseSet();
  if (detectButton_) {
    const auto onMain = [this](void (WiiMote::*action)()) {
      return [this, action](QKButtonCell&) {
        MainThread::run([self = QPointer<WiiMote>(this), action] {
          if (self && !self->deleted()) (self->*action)();
        });
      };
    };
    detectButton_->setTarget(alive_);
    detectButton_->setAction(onMain(&WiiMote::detectButtonUsed));
    openOptionsButton_->setTarget(alive_);
    openOptionsButton_->setAction(onMain(&WiiMote::openOptionsPanel));
    closeOptionsButton_->setTarget(alive_);
    closeOptionsButton_->setAction(onMain(&WiiMote::closeOptionsPanel));
    for (QCheckBox* led : leds_)
      connect(led, &QCheckBox::clicked, this, [this] { ledButtonUsed(); });
  }
  observers_.observe(WiiRemote::kExpansionPortChangedNotification, nullptr,
                     [this](const Notification&) { wiiRemoteExpansionPortChanged(); });
  observers_.observe(QStringLiteral("AppAboutToQuitNotification"), nullptr,
                     [this](const Notification&) {
                       if (mote_) mote_->disconnect();
                     });
  observers_.observe(QKSliderManager::kDeleteSliderNotification, nullptr,
                     [this](const Notification& n) {
                       const auto hovered = lastMouseoverSlider_.lock();
                       if (hovered && n.object == static_cast<void*>(hovered.get()))
                         clearMouseMode();
                     });
}

void WiiMote::prepareToBeDeleted() {
  if (deleted()) return;
  observers_.clear();
  unsubscribeBaseSet();
  if (currentExpPort_ == 1) unsubscribeNunchukSet();
  if (currentExpPort_ == 2) unsubscribeClassicSet();
  if (DataSourceController* tree = dataSourceController())
    tree->setDataSource(nullptr, KeyPath{windowTitle()});
  dropMote(true);
  for (QKButton* button : {detectButton_, openOptionsButton_, closeOptionsButton_})
    if (button) button->prepareToBeDeleted();
  alive_.reset();
  delayedCalls().cancel(this);
  QKPlugin::prepareToBeDeleted();
}

void WiiMote::setPluginName(const QString& name) {
  if (DataSourceController* tree = dataSourceController())
    tree->changeNameFrom(KeyPath{windowTitle()}, KeyPath{name});
  QKPlugin::setPluginName(name);
}

DelayedCalls& WiiMote::delayedCalls() {
  return delayedCalls_ ? *delayedCalls_ : DelayedCalls::mainThread();
}

void WiiMote::setPointerControl(std::unique_ptr<PointerControl> pointer) {
  pointer_ = std::move(pointer);
}

void WiiMote::setStatus(const QString& text) {
  if (textView_) textView_->setText(text);
}

QString WiiMote::statusText() const { return textView_ ? textView_->text() : QString(); }

QPointF WiiMote::irPoint() const { return {xIR_, yIR_}; }

bool WiiMote::optionsPanelOpen() const { return optionsPanel_ && !optionsPanel_->isHidden(); }

void WiiMote::openOptionsPanel() {
  if (!optionsPanel_) return;
  optionsController_->updateUI();
  optionsPanel_->raise();
  optionsPanel_->show();
}

void WiiMote::closeOptionsPanel() {
  if (optionsPanel_) optionsPanel_->hide();
}

// --- Connection --------------------------------------------------------------------------------

void WiiMote::dropMote(bool disconnect) {
  if (!mote_) return;
  if (disconnect) mote_->disconnect();
  mote_->setDelegate(nullptr);
  mote_.reset();
}

void WiiMote::detectButtonUsed() {
  dropMote(true);
  mote_ = std::make_unique<WiiRemote>(backend_ ? backend_ : WiiRemote::defaultBackend());
  mote_->setDelegate(this);
  setStatus(QStringLiteral("Searching for WiiMotes..."));
  mote_->startSearching();
}

void WiiMote::wiiRemoteConnected() {
  if (!mote_) return;
  setStatus(QStringLiteral("Discovered a WiiMote- connecting"));
  const QString address = mote_->address();
  if (address.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: mote's address is nil- closing"));
    dropMote(true);
    setStatus(QStringLiteral("Connection unstable- try detecting again"));
    return;
  }
  setStatus(QStringLiteral("Connected to WiiRemote %1").arg(address));
  if (batteryIndicator_) batteryIndicator_->show();
  mote_->setMotionSensorEnabled(true);
  mote_->setIRSensorEnabled(true);
  delayedCalls().callLater(this, 0.5, [self = QPointer<WiiMote>(this)] {
    if (self && !self->deleted()) self->wiiRemoteDiscoveredMainThread();
  });
}

void WiiMote::wiiRemoteDiscoveredMainThread() {
  if (!mote_) return;
  clearMouseMode();
  ledButtonUsed();
  wiiRemoteExpansionPortChanged();
}

void WiiMote::wiiRemoteExpansionPortChanged() {
  if (!mote_) return;
  const int type = mote_->expansionPortType();
  if (type == currentExpPort_) return;
  if (currentExpPort_ == 1) unsubscribeNunchukSet();
  if (currentExpPort_ == 2) unsubscribeClassicSet();
  currentExpPort_ = type;
  if (type == 1) subscribeNunchukSet();
  if (type == 2) subscribeClassicSet();
}

void WiiMote::ledButtonUsed() {
  if (!mote_) return;
  const auto on = [this](int i) { return leds_[i] && leds_[i]->isChecked(); };
  mote_->setLEDEnabled(on(0), on(1), on(2), on(3));
}

void WiiMote::wiiRemoteDisconnected() {
  setStatus(QStringLiteral("Lost connection with WiiRemote"));
  dropMote(false);
  if (batteryIndicator_) batteryIndicator_->hide();
}

void WiiMote::wiiRemoteDiscoveryError(const QString& text) {
  if (!text.isEmpty()) setStatus(text);
  if (batteryIndicator_) batteryIndicator_->hide();
}

void WiiMote::wiiRemoteConnectionError(const QString& text) {
  if (!text.isEmpty()) setStatus(text);
  if (batteryIndicator_) batteryIndicator_->hide();
}

void WiiMote::batteryLevelChanged(float level) {
  if (batteryIndicator_) batteryIndicator_->setVal(level);
}

// --- Sets of sources ---------------------------------------------------------------------------

void WiiMote::installHolder(const KeyPath& path, int type) {
  dataSourceController()->setDataSource(DataSourceHolder::createWithName(path.last(), type), path);
}

void WiiMote::installLeaf(const KeyPath& path, const QString& name, int type,
                          std::shared_ptr<DataSource>* field) {
  auto leaf = DSFloatInfrequent::createWithName(name, type);
  dataSourceController()->setDataSource(leaf, path);
  *field = leaf;
}

std::shared_ptr<DSPointHolder> WiiMote::installPoint(const KeyPath& path) {
  auto point = DSPointHolder::createWithName(path.last());
  point->setDelegate(points_);
  dataSourceController()->setDataSource(point, path);
  return point;
}

void WiiMote::subscribeBaseSet() {
  if (!dataSourceController()) return;
  const QString t = windowTitle();
  installHolder({t, kWiiMote}, DSType::Holder);
  installHolder({t, kWiiMote, kAccel}, DSType::UntickedHolder);
  for (int axis = 0; axis < 3; ++axis) {
    const QString name = QString(QChar('X' + axis));
    installLeaf({t, kWiiMote, kAccel, name}, name, DSType::FloatInfrequent,
                &sources_->accel[0][axis]);
  }
  installHolder({t, kWiiMote, kOrientation}, DSType::Holder);
  for (int axis : {0, 1, 2}) {
    const QString name = QString::fromLatin1(kAxisNames[axis]);
    installLeaf({t, kWiiMote, kOrientation, name}, name, DSType::FloatInfrequent,
                &sources_->orientation[0][axis]);
  }
  points_->ir.store(installPoint({t, kWiiMote, QStringLiteral("IR")}).get());
  installHolder({t, kWiiMote, kHidden}, DSType::InputHolder);
  for (const auto& button : kRemoteButtons) {
    const QString key = QString::fromLatin1(button.key);
    installLeaf({t, kWiiMote, kHidden, key}, key, DSType::ButtonFloat,
                &sources_->buttons[button.code]);
  }
}

void WiiMote::subscribeNunchukSet() {
  if (!dataSourceController()) return;
  const QString t = windowTitle();
  installHolder({t, kNunChuk}, DSType::Holder);
  installHolder({t, kNunChuk, kAccel}, DSType::UntickedHolder);
  for (int axis = 0; axis < 3; ++axis) {
    const QString name = QString(QChar('X' + axis));
    installLeaf({t, kNunChuk, kAccel, name}, name, DSType::FloatInfrequent,
                &sources_->accel[1][axis]);
  }
  installHolder({t, kNunChuk, kOrientation}, DSType::UntickedHolder);
  for (int axis : {0, 1, 2}) {
    const QString name = QString::fromLatin1(kAxisNames[axis]);
    installLeaf({t, kNunChuk, kOrientation, name}, name, DSType::FloatInfrequent,
                &sources_->orientation[1][axis]);
  }
  points_->chuk.store(installPoint({t, kNunChuk, QStringLiteral("JoyStick")}).get());
  installHolder({t, kNunChuk, kHidden}, DSType::InputHolder);
  installLeaf({t, kNunChuk, kHidden, QStringLiteral("Z")}, QStringLiteral("Z"), DSType::ButtonFloat,
              &sources_->buttons[11]);
  installLeaf({t, kNunChuk, kHidden, QStringLiteral("C")}, QStringLiteral("C"), DSType::ButtonFloat,
              &sources_->buttons[12]);
}

void WiiMote::subscribeClassicSet() {
  if (!dataSourceController()) return;
  const QString t = windowTitle();
  installHolder({t, kClassic}, DSType::Holder);
  points_->classicL.store(installPoint({t, kClassic, QStringLiteral("L Joystick")}).get());
  points_->classicR.store(installPoint({t, kClassic, QStringLiteral("R Joystick")}).get());
  installHolder({t, kClassic, kHidden}, DSType::InputHolder);
  for (const auto& button : kClassicButtons)
    installLeaf({t, kClassic, kHidden, QString::fromLatin1(button.key)},
                QString::fromLatin1(button.name), DSType::ButtonFloat,
                &sources_->buttons[button.code]);
}

void WiiMote::removeSet(const QString& top) {
  dataSourceController()->setDataSource(nullptr, KeyPath{windowTitle(), top});
}

void WiiMote::unsubscribeBaseSet() {
  if (!dataSourceController()) return;
  for (const auto& button : kRemoteButtons) sources_->buttons[button.code].reset();
  sources_->accel[0] = {};
  sources_->orientation[0] = {};
  points_->ir.store(nullptr);
  removeSet(kWiiMote);
}

void WiiMote::unsubscribeNunchukSet() {
  if (!dataSourceController()) return;
  sources_->buttons[11].reset();
  sources_->buttons[12].reset();
  sources_->accel[1] = {};
  sources_->orientation[1] = {};
  points_->chuk.store(nullptr);
  removeSet(kNunChuk);
}

void WiiMote::unsubscribeClassicSet() {
  if (!dataSourceController()) return;
  for (const auto& button : kClassicButtons) sources_->buttons[button.code].reset();
  points_->classicL.store(nullptr);
  points_->classicR.store(nullptr);
  removeSet(kClassic);
}

void WiiMote::setSource(const std::shared_ptr<DataSource>& source, float value) {
  if (source) source->setValue(value);
}

// --- Input -------------------------------------------------------------------------------------

void WiiMote::buttonChanged(int code, bool pressed, WiiRemote*) {
  if (!dataSourceController() || code < 0 || code > 27) return;
  const float value = pressed ? 1.0f : 0.0f;
  if (code == 2 || code == 3) {
    const bool otherHeld = code == 2 ? twoButton_ : oneButton_;
    if (pressed && otherHeld && enableMouseModeToggle_ && enableMouseModeToggle_->isChecked())
      setMouseMode(!mouseMode_);
    (code == 2 ? oneButton_ : twoButton_) = pressed;
    setSource(sources_->buttons[code], value);
    return;
  }
  setSource(sources_->buttons[code], value);
  if (code == 0) aButton_ = pressed;
  if (code == 1) bButton_ = pressed;
  if (!mouseMode_) return;
  switch (code) {
    case 0:
      if (!editSliderMode_) {
        if (pressed) {
          dragValFlag_ = dragMinEnvFlag_ = dragMaxEnvFlag_ = false;
          editSliderMode_ = true;
        }
      } else {
        dragValFlag_ = pressed;
      }
      break;
    case 1:
      if (pressed && editSliderMode_) editSliderMode_ = false;
      break;
    case 4:
      if (!editSliderMode_) break;
      dragMinEnvFlag_ = pressed;
      if (pressed) dragValFlag_ = dragMaxEnvFlag_ = false;
      break;
    case 6:
      if (!editSliderMode_) break;
      dragMaxEnvFlag_ = pressed;
      if (pressed) dragValFlag_ = dragMinEnvFlag_ = false;
      break;
    default:
      break;
  }
}

void WiiMote::setMouseMode(bool on) {
  if (on == mouseMode_) return;
  clearMouseMode();
  mouseMode_ = on;
}

void WiiMote::clearMouseMode() {
  lastMouseoverSlider_.reset();
  mouseMode_ = editSliderMode_ = false;
  dragValFlag_ = dragMinEnvFlag_ = dragMaxEnvFlag_ = false;
}

void WiiMote::turnOffForceFeedback() {
  forceFeedbackToggle_ = false;
  if (mote_) mote_->setForceFeedbackEnabled(false);
}

void WiiMote::irPointMovedX(float x, float y, WiiRemote*) {
  if (std::fabs(x) != 100.0f) xIR_ = x;
  if (std::fabs(y) != 100.0f) yIR_ = y;
  points_->xIR.store(xIR_);
  points_->yIR.store(yIR_);
  if (mouseMode_) irMouseStep();
}

void WiiMote::irMouseStep() {
  if (!editSliderMode_) {
    if (!pointer_) pointer_ = PointerControl::system();
    const QSize display = pointer_->mainDisplayPixels();
    const double w = display.width(), h = display.height();
    const double px = std::max(std::min(w * xIR_, w), 0.0);
    const double py = std::max(std::min(h * yIR_, h), 0.0);
    if (!pointer_->moveTo(QPoint(int(px), int(py))) && !pointerRefusedShown_) {
      pointerRefusedShown_ = true;
      setStatus(
          QStringLiteral("This display does not let ZAPH move the pointer (Wayland): mouse "
                         "mode follows no slider"));
    }
    std::shared_ptr<QKSliderCell> found;
    if (sliderFinder_)
      found = sliderFinder_(QPointF(px, h - py));
    else if (sliderManager_)
      found = sliderManager_->visibleSliderAtPoint(QPointF(px, h - py));
    if (!found || found == lastMouseoverSlider_.lock()) return;
    lastMouseoverSlider_ = found;
    found->selectJustMe();
    if (!forceFeedbackToggle_ && mote_) {
      mote_->setForceFeedbackEnabled(true);
      forceFeedbackToggle_ = true;
      delayedCalls().callLater(this, 0.07, [self = QPointer<WiiMote>(this)] {
        if (self) self->turnOffForceFeedback();
      });
    }
    return;
  }
  const auto slider = lastMouseoverSlider_.lock();
  if (!slider) return;
  if (dragValFlag_)
    slider->setValue(xIR_);
  else if (dragMinEnvFlag_)
    slider->setMinEnvNumber(xIR_);
  else if (dragMaxEnvFlag_)
    slider->setMaxEnvNumber(xIR_);
}

void WiiMote::joyStickChanged(int code, float x, float y, WiiRemote*) {
  if (code < 0 || code > 2) return;
  points_->sticks[2 * code].store(x);
  points_->sticks[2 * code + 1].store(y);
}

void WiiMote::accelerationChanged(int code, float x, float y, float z, WiiRemote*) {
  if (code != 0 && code != 1) return;
  std::array<float, 3>& stored = code == 0 ? acc_ : chukAcc_;
  stored = {x, y, z};
  const auto& accel = sources_->accel[code];
  for (int axis = 0; axis < 3; ++axis) setSource(accel[axis], stored[axis]);
  const std::array<float, 3> angles = WiiOrientation::compute(
      x, y, z, code == 0 ? wiiOptions_ : nunOptions_, code == 0 ? &wiiSmoothers_ : nullptr);
  const auto& orientation = sources_->orientation[code];
  for (int axis : {WiiOrientation::Pitch, WiiOrientation::Roll, WiiOrientation::Yaw})
    setSource(orientation[axis], angles[axis]);
}

// --- Snapshot ------------------------------------------------------------------------------

QVariantMap WiiMote::createSnapshot() const {
  QVariantMap snapshot{{kSuperSnapKey, QKPlugin::createSnapshot()}};
  if (detectButton_) {
    const QVariantMap detect = detectButton_->createSnapshot();
    if (!detect.isEmpty()) snapshot.insert(kDetectButton, detect);
  }
  if (mote_) snapshot.insert(kMote, QVariantMap{{kAddress, mote_->address()}});
  for (const OptionKey& option : kOptionKeys()) {
    const WiiOrientation::AxisOptions& axis =
        (option.nunchuk ? nunOptions_ : wiiOptions_)[option.axis];
    const QString key = option.key;
    switch (option.field) {
      case OptionKey::Offset:
        snapshot.insert(key, double(axis.offset));
        break;
      case OptionKey::ClipLow:
        snapshot.insert(key, double(axis.clipLow));
        break;
      case OptionKey::ClipHigh:
        snapshot.insert(key, double(axis.clipHigh));
        break;
      case OptionKey::Invert:
        snapshot.insert(key, axis.invert);
        break;
    }
  }
  QVariantMap leds;
  for (int i = 0; i < 4; ++i)
    leds.insert(QStringLiteral("led%1").arg(i + 1), leds_[i] && leds_[i]->isChecked() ? 1 : 0);
  snapshot.insert(kLeds, leds);
  return snapshot;
}

void WiiMote::loadSnapshot(const QVariantMap& snapshot) {
  QKPlugin::loadSnapshot(snapshot.value(kSuperSnapKey).toMap());
  const QVariant detect = snapshot.value(kDetectButton);
  if (detectButton_ && detect.typeId() == QMetaType::QVariantMap)
    detectButton_->cell()->loadSnapshot(detect.toMap(), false);
  for (const OptionKey& option : kOptionKeys()) {
    const std::optional<double> number = finiteNumber(snapshot.value(option.key));
    if (!number) continue;
    WiiOrientation::AxisOptions& axis = (option.nunchuk ? nunOptions_ : wiiOptions_)[option.axis];
    switch (option.field) {
      case OptionKey::Offset:
        axis.offset = float(*number);
        break;
      case OptionKey::ClipLow:
        axis.clipLow = float(*number);
        break;
      case OptionKey::ClipHigh:
        axis.clipHigh = float(*number);
        break;
      case OptionKey::Invert:
        axis.invert = *number != 0;
        break;
    }
  }
  const QVariant leds = snapshot.value(kLeds);
  if (leds.typeId() == QMetaType::QVariantMap) {
    const QVariantMap states = leds.toMap();
    for (int i = 0; i < 4; ++i) {
      const std::optional<double> state =
          finiteNumber(states.value(QStringLiteral("led%1").arg(i + 1)));
      if (leds_[i]) leds_[i]->setChecked(state && int(*state) == 1);
    }
    ledButtonUsed();
  }
  if (optionsController_) optionsController_->updateUI();
}

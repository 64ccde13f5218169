#include "app/plugins/monitors/MIDIDisplay.h"

#include "app/plugins/monitors/MIDIMonitorText.h"
#include "framework/controls/QKButton.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"

#include <QLabel>
#include <QVBoxLayout>

#include <mutex>
#include <optional>

const QString MIDIDisplay::kTypeName = QStringLiteral("MIDIDisplay");

// What the MIDI thread leaves for the main thread: the latest shown message.
struct MIDIDisplayInbox {
  std::mutex mutex;
  std::optional<QKMIDIMessage> latest;  // under mutex
};

namespace {

const QString kComponentArray = QStringLiteral("componentArray");
const QString kComponentName = QStringLiteral("componentName");
const QString kSettings = QStringLiteral("settings");
const QString kDetectState = QStringLiteral("detectState");

QLabel* makeField(QWidget* parent) {
  auto* label = new QLabel(QStringLiteral(" "), parent);
  label->setStyleSheet(QStringLiteral("color: white; font-size: 11px"));
  return label;
}

}  // namespace

MIDIDisplay::MIDIDisplay(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
      inbox_(std::make_shared<MIDIDisplayInbox>()),
      detect_(this, QString::fromLatin1(InputNotifications::MIDIDetect)) {}

MIDIDisplay::~MIDIDisplay() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass MIDIDisplay::pluginClass() {
  PluginClass display;
  display.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<MIDIDisplay>(type, name, uniqueID);
  };
  display.layout = &MIDIDisplay::buildWindow;
  return display;
}

std::unique_ptr<QWidget> MIDIDisplay::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(340, 340, 150, 92));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  auto* self = qobject_cast<MIDIDisplay*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(6, 2, 6, 4);
  column->setSpacing(1);
  self->typeTextField_ = makeField(body);
  self->valueTextField_ = makeField(body);
  self->channelTextField_ = makeField(body);
  column->addWidget(self->typeTextField_);
  column->addWidget(self->valueTextField_);
  column->addWidget(self->channelTextField_);
  self->onOffButton_ = new QKButton(body);
  self->onOffButton_->setButtonType(1);
  self->onOffButton_->setTitle(QStringLiteral("on"));
  self->onOffButton_->setTitle2(QStringLiteral("on"));
  self->onOffButton_->setFixedHeight(16);
  column->addWidget(self->onOffButton_);
  return window;
}

void MIDIDisplay::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!onOffButton_) return;
  onOffButton_->setTarget(alive_);
  onOffButton_->setAction([this, alive = std::weak_ptr<int>(alive_)](QKButtonCell& sender) {
    const int state = sender.intValue();
    MainThread::run([this, alive, state] {
      if (alive.lock()) toggleOnState(state);
    });
  });
}

void MIDIDisplay::prepareToBeDeleted() {
  if (deleted()) return;
  detect_.close();
  alive_.reset();
  if (onOffButton_) onOffButton_->prepareToBeDeleted();
  QKPlugin::prepareToBeDeleted();
}

void MIDIDisplay::toggleOnState(int state) {
  if (state == detectState_.load()) return;
  detectState_.store(state);
  if (state == 1)
    detect_.turnOn([this](const Notification& n) { midiDetectReceivedNotification(n); });
  else
    detect_.turnOff();
  if (onOffButton_ && onOffButton_->intValue() != (state == 1 ? 1 : 0))
    onOffButton_->setIntValue(state == 1 ? 1 : 0, false);
}

// MIDI input thread.
void MIDIDisplay::midiDetectReceivedNotification(const Notification& notification) {
  const QVariant message =
      notification.userInfo.value(QString::fromLatin1(InputNotifications::MessageKey));
  if (!message.canConvert<QKMIDIMessage>()) return;
  const auto midi = message.value<QKMIDIMessage>();
  if (!MIDIMonitorText::isShown(midi)) return;
  {
    std::lock_guard<std::mutex> lock(inbox_->mutex);
    inbox_->latest = midi;
  }
  MainThread::coalesce(inbox_.get(), [this, alive = std::weak_ptr<int>(alive_)] {
    if (alive.lock()) refresh();
  });
}

void MIDIDisplay::refresh() {
  std::optional<QKMIDIMessage> latest;
  {
    std::lock_guard<std::mutex> lock(inbox_->mutex);
    latest.swap(inbox_->latest);
  }
  if (!latest) return;
  const auto fields = MIDIMonitorText::forMessage(*latest, MIDIMonitorText::naturalNamesWanted());
  if (!fields || !typeTextField_) return;
  typeTextField_->setText(fields->type);
  valueTextField_->setText(fields->value);
  channelTextField_->setText(fields->channel);
}

QString MIDIDisplay::channelText() const {
  return channelTextField_ ? channelTextField_->text() : QString();
}
QString MIDIDisplay::typeText() const {
  return typeTextField_ ? typeTextField_->text() : QString();
}
QString MIDIDisplay::valueText() const {
  return valueTextField_ ? valueTextField_->text() : QString();
}

// --- Snapshot --------------------------------------------------------------------------------

QVariantMap MIDIDisplay::createSnapshot() const {
  const QVariantList components{
      QVariantMap{{kComponentName, kSettings}, {kDetectState, detectState_.load()}}};
  return {{kSuperSnap, QKPlugin::createSnapshot()}, {kComponentArray, components}};
}

void MIDIDisplay::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant super = snapshot.value(kSuperSnap);
  if (super.typeId() == QMetaType::QVariantMap) QKPlugin::loadSnapshot(super.toMap());
  const QVariant components = snapshot.value(kComponentArray);
  if (components.typeId() != QMetaType::QVariantList) return;
  for (const QVariant& entry : components.toList()) {
    if (entry.typeId() != QMetaType::QVariantMap) continue;
    const QVariantMap component = entry.toMap();
    if (component.value(kComponentName) != kSettings) continue;
    bool ok = false;
    const int state = component.value(kDetectState).toInt(&ok);
    if (ok) toggleOnState(state == 1 ? 1 : 0);
  }
}

#include "framework/controls/DetectPaths.h"

#include "framework/datasource/DSInputNaming.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/InputNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIMessage.h"

#include <QKeyEvent>

namespace DetectPaths {

std::optional<KeyPath> midi(const Notification& n) {
  const QVariant message = n.userInfo.value(QString::fromLatin1(InputNotifications::MessageKey));
  if (!message.canConvert<QKMIDIMessage>()) return std::nullopt;
  const KeyPath path = DSInputNaming::midiSource(message.value<QKMIDIMessage>()).path;
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<KeyPath> osc(const Notification& n) {
  const QVariant source = n.userInfo.value(QString::fromLatin1(InputNotifications::DataSourceKey));
  if (!source.canConvert<std::shared_ptr<DataSource>>()) return std::nullopt;
  const auto node = source.value<std::shared_ptr<DataSource>>();
  if (!node || node->sourceName().isEmpty()) return std::nullopt;
  return KeyPath{QStringLiteral("OSC"), node->sourceName()};
}

std::optional<KeyPath> key(const Notification& n) {
  auto* event = static_cast<QEvent*>(n.object);
  if (!event || event->type() != QEvent::KeyPress) return std::nullopt;
  const QString name = DSInputNaming::keyName(*static_cast<QKeyEvent*>(event));
  if (name.isEmpty()) return std::nullopt;
  return KeyPath{QStringLiteral("Key"), name};
}

std::optional<KeyPath> button(const Notification& n) {
  auto* source = static_cast<DataSource*>(n.object);
  if (!source) return std::nullopt;
  const KeyPath path = source->pathArray();
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QKMIDIMessage> soundingNoteOn(const Notification& n) {
  const QVariant value = n.userInfo.value(QString::fromLatin1(InputNotifications::MessageKey));
  if (!value.canConvert<QKMIDIMessage>()) return std::nullopt;
  const QKMIDIMessage message = value.value<QKMIDIMessage>();
  if (message.type() != 0x90 || message.data2() == 0) return std::nullopt;
  return message;
}

std::optional<KeyPath> learnt(const Notification& n, const QString& name) {
  if (name == QLatin1String(InputNotifications::KeyDetect)) {
    auto* event = static_cast<QEvent*>(n.object);
    if (!event || event->type() != QEvent::KeyPress) return std::nullopt;
    const auto* pressed = static_cast<QKeyEvent*>(event);
    if (pressed->isAutoRepeat() || pressed->key() == Qt::Key_Backspace) return std::nullopt;
    return key(n);
  }
  if (name == QLatin1String(InputNotifications::MIDIDetect))
    return soundingNoteOn(n) ? midi(n) : std::nullopt;
  if (name == QLatin1String(DataSourceNotifications::ButtonDetect)) {
    const auto* source = static_cast<DataSource*>(n.object);
    if (!source || source->value() != 1.0f) return std::nullopt;
    return button(n);
  }
  if (name == QLatin1String(InputNotifications::OSCDetect)) return osc(n);
  return std::nullopt;
}

}  // namespace DetectPaths

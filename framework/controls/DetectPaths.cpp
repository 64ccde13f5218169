#include "framework/controls/DetectPaths.h"

#include "framework/datasource/DSInputNaming.h"
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

}  // namespace DetectPaths

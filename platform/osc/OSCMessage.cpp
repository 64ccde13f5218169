#include "platform/osc/OSCMessage.h"

#include <QStringList>

std::shared_ptr<OSCMessage> OSCMessage::createWithAddress(const QString& address) {
  return std::make_shared<OSCMessage>(address);
}

QString OSCMessage::description() const {
  QStringList parts;
  for (const OSCValue& v : values_) parts << v.description();
  return QStringLiteral("<OSCMessage %1 %2>").arg(address_, parts.join(QStringLiteral(", ")));
}

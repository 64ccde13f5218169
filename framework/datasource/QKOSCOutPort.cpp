#include "framework/datasource/QKOSCOutPort.h"

#include "framework/datasource/InputNotifications.h"
#include "platform/foundation/NotificationCenter.h"

QKOSCOutPort::~QKOSCOutPort() {
  // A port its owner forgot to delete still announces its end.
  if (!deleted()) QKOSCOutPort::prepareToBeDeleted();
}

void QKOSCOutPort::setPortLabel(const QString& label) {
  OSCOutPort::setPortLabel(label);
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(InputNotifications::OSCOutPortsChanged));
}

void QKOSCOutPort::prepareToBeDeleted() {
  if (deleted()) return;
  OSCOutPort::prepareToBeDeleted();
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(InputNotifications::OSCOutPortDeletion), this);
}

QString QKOSCOutPort::description() const {
  return QStringLiteral("<QKOSCOutPort %1, %2:%3>").arg(portLabel(), addressString()).arg(port());
}

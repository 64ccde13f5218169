#pragma once

#include "platform/osc/OSCOutPort.h"

// The program's OSC output port: announces label changes
// ("QKOSCOutPortsChangedNotification") and its deletion
// ("QKOSCOutPortDeletionNotification", object: the port), so that the OSC
// output plug-ins and the preferences follow.
class QKOSCOutPort : public OSCOutPort {
 public:
  using OSCOutPort::OSCOutPort;
  ~QKOSCOutPort() override;

  void setPortLabel(const QString& label) override;
  // Marks the port deleted and announces it, once.
  void prepareToBeDeleted() override;
  QString description() const override;
};

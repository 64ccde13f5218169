#pragma once

#include "platform/osc/OSCInPort.h"
#include "platform/osc/OSCMessage.h"
#include "platform/osc/OSCOutPort.h"
#include "platform/threading/MutLockArray.h"

#include <QString>
#include <QVariantMap>

#include <memory>

// The program's OSC input and output ports.
//
// Every message that arrives on an input port reaches `receivedOSCMessage`
// on that port's own thread. A port number that cannot be opened is logged
// and shown to the user; the port stays in the list, closed, so the setting
// is kept, and the other ports go on working. Subclasses choose the class of
// their output ports (`makeOutPort`) and the base of the input ports' labels
// (`inPortLabelBase`), and call `deleteAllInputs` from their destructor so
// that no message reaches a half-destroyed object.
//
// Ports are created and removed on the main thread.
class OSCManager {
 public:
  static constexpr int kDefaultInPort = 8000;
  static constexpr int kDefaultOutPort = 9000;

  OSCManager() = default;
  virtual ~OSCManager();
  OSCManager(const OSCManager&) = delete;
  OSCManager& operator=(const OSCManager&) = delete;

  MutLockArray<std::shared_ptr<OSCInPort>>& inPortArray() { return inPorts_; }
  MutLockArray<std::shared_ptr<OSCOutPort>>& outPortArray() { return outPorts_; }

  // Null (with a logged error) for a number outside 1..65535 or one another
  // input port already has; otherwise the port, open or not.
  std::shared_ptr<OSCInPort> createNewInputForPort(int port);
  // From {"port", "portLabel"}; null when "port" is missing or mistyped.
  std::shared_ptr<OSCInPort> createNewInputFromSnapshot(const QVariantMap& snapshot);
  // On the first number from kDefaultInPort up that no input port has.
  std::shared_ptr<OSCInPort> createNewInput();
  virtual void removeInput(const std::shared_ptr<OSCInPort>& port);
  void deleteAllInputs();
  std::shared_ptr<OSCInPort> findInputWithPort(int port);

  virtual std::shared_ptr<OSCOutPort> createNewOutputToAddress(const QString& address, int port,
                                                               const QString& label);
  std::shared_ptr<OSCOutPort> createNewOutputFromSnapshot(const QVariantMap& snapshot);
  // To this machine, kDefaultOutPort, labelled "Output %d" with the first
  // free number.
  std::shared_ptr<OSCOutPort> createNewOutput();
  virtual void removeOutput(const std::shared_ptr<OSCOutPort>& port);
  void deleteAllOutputs();
  std::shared_ptr<OSCOutPort> findOutputWithLabel(const QString& label);

  // Every message from every input port, on that port's thread.
  virtual void receivedOSCMessage(const OSCMessage& message);

  // The class of the output ports (a subclass may return its own kind).
  virtual std::shared_ptr<OSCOutPort> makeOutPort(const QString& address, int port,
                                                  const QString& label);
  // Input ports are labelled with it: the first with the base itself, then
  // "<base> 2", "<base> 3" …
  virtual QString inPortLabelBase() const;

 private:
  std::shared_ptr<OSCInPort> addInput(int port, const QString& label);
  QString uniqueInPortLabel();

  MutLockArray<std::shared_ptr<OSCInPort>> inPorts_;
  MutLockArray<std::shared_ptr<OSCOutPort>> outPorts_;
};

#include "platform/osc/OSCManager.h"

#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"

#include <cmath>

namespace {
// A stored number: an integer, or a real with no fraction (and within range:
// a stored 1e300 is no port number, and its conversion would be undefined).
bool storedInteger(const QVariant& value, long long* out) {
  if (!VariantNumbers::isNumber(value)) return false;
  if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float) {
    *out = value.toLongLong();
    return true;
  }
  const double d = value.toDouble();
  constexpr double kBeyondLongLong = 9223372036854775808.0;  // 2^63
  if (!(std::fabs(d) < kBeyondLongLong) || d != std::trunc(d)) return false;  // NaN too
  *out = static_cast<long long>(d);
  return true;
}
}  // namespace

OSCManager::~OSCManager() {
  deleteAllInputs();
  deleteAllOutputs();
}

std::shared_ptr<OSCInPort> OSCManager::createNewInputForPort(int port) {
  return addInput(port, uniqueInPortLabel());
}

std::shared_ptr<OSCInPort> OSCManager::createNewInputFromSnapshot(const QVariantMap& snapshot) {
  long long port = 0;
  if (!storedInteger(snapshot.value(QStringLiteral("port")), &port)) {
    Log::line(QStringLiteral("\t\terr: skipped an OSC input port without a port number"));
    return nullptr;
  }
  if (!OSCInPort::isValidPortNumber(port)) {
    Log::line(
        QStringLiteral("\t\terr: OSC input port %1 is not a port number (1 to 65535)").arg(port));
    return nullptr;
  }
  const QVariant label = snapshot.value(QStringLiteral("portLabel"));
  const bool hasLabel = label.typeId() == QMetaType::QString && !label.toString().isEmpty();
  return addInput(static_cast<int>(port), hasLabel ? label.toString() : uniqueInPortLabel());
}

std::shared_ptr<OSCInPort> OSCManager::createNewInput() {
  int port = kDefaultInPort;
  while (findInputWithPort(port) && port < 65535) ++port;
  return createNewInputForPort(port);
}

std::shared_ptr<OSCInPort> OSCManager::addInput(int port, const QString& label) {
  if (!OSCInPort::isValidPortNumber(port)) {
    Log::line(
        QStringLiteral("\t\terr: OSC input port %1 is not a port number (1 to 65535)").arg(port));
    return nullptr;
  }
  if (findInputWithPort(port)) {
    Log::line(QStringLiteral("\t\terr: there is already an OSC input on port %1").arg(port));
    return nullptr;
  }
  auto input = std::make_shared<OSCInPort>(
      port, label, [this](const OSCMessage& message) { receivedOSCMessage(message); });
  if (!input->open()) {
    const QString error = input->lastError();
    Log::line(QStringLiteral("\t\terr: couldn't open OSC input port %1: %2").arg(port).arg(error));
    Alert::postWarning(QStringLiteral("OSC input port %1 could not be opened (%2). Another "
                                      "program may be using it; choose another port in the "
                                      "preferences.")
                           .arg(port)
                           .arg(error));
  }
  inPorts_.lockAddObject(input);
  return input;
}

QString OSCManager::uniqueInPortLabel() {
  const QString base = inPortLabelBase();
  QStringList taken;
  for (const auto& port : inPorts_.lockCopy()) taken << port->portLabel();
  if (!taken.contains(base)) return base;
  for (int n = 2;; ++n) {
    const QString label = QStringLiteral("%1 %2").arg(base).arg(n);
    if (!taken.contains(label)) return label;
  }
}

void OSCManager::removeInput(const std::shared_ptr<OSCInPort>& port) {
  if (!port) return;
  inPorts_.lockRemoveIdenticalPtr(port.get());
  port->prepareToBeDeleted();
}

void OSCManager::deleteAllInputs() {
  const auto ports = inPorts_.lockCopy();
  inPorts_.lockRemoveAllObjects();
  for (const auto& port : ports) port->prepareToBeDeleted();
}

std::shared_ptr<OSCInPort> OSCManager::findInputWithPort(int port) {
  for (const auto& input : inPorts_.lockCopy())
    if (input->port() == port) return input;
  return nullptr;
}

std::shared_ptr<OSCOutPort> OSCManager::createNewOutputToAddress(const QString& address, int port,
                                                                 const QString& label) {
  auto output = makeOutPort(address, port, label);
  if (output) outPorts_.lockAddObject(output);
  return output;
}

std::shared_ptr<OSCOutPort> OSCManager::createNewOutputFromSnapshot(const QVariantMap& snapshot) {
  auto output = makeOutPort(QStringLiteral("127.0.0.1"), kDefaultOutPort, QString());
  if (!output) return nullptr;
  output->loadSnapshot(snapshot);
  outPorts_.lockAddObject(output);
  return output;
}

std::shared_ptr<OSCOutPort> OSCManager::createNewOutput() {
  for (int n = 1;; ++n) {
    const QString label = QStringLiteral("Output %1").arg(n);
    if (!findOutputWithLabel(label))
      return createNewOutputToAddress(QStringLiteral("127.0.0.1"), kDefaultOutPort, label);
  }
}

void OSCManager::removeOutput(const std::shared_ptr<OSCOutPort>& port) {
  if (!port) return;
  outPorts_.lockRemoveIdenticalPtr(port.get());
  if (!port->deleted()) port->prepareToBeDeleted();
}

void OSCManager::deleteAllOutputs() {
  const auto ports = outPorts_.lockCopy();
  outPorts_.lockRemoveAllObjects();
  for (const auto& port : ports)
    if (!port->deleted()) port->prepareToBeDeleted();
}

std::shared_ptr<OSCOutPort> OSCManager::findOutputWithLabel(const QString& label) {
  for (const auto& output : outPorts_.lockCopy())
    if (output->portLabel() == label) return output;
  return nullptr;
}

void OSCManager::receivedOSCMessage(const OSCMessage&) {}

std::shared_ptr<OSCOutPort> OSCManager::makeOutPort(const QString& address, int port,
                                                    const QString& label) {
  return std::make_shared<OSCOutPort>(address, port, label);
}

QString OSCManager::inPortLabelBase() const { return QStringLiteral("QKOSC"); }

#include "framework/datasource/QKOSCManager.h"

#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/QKOSCOutPort.h"
#include "platform/foundation/VariantNumbers.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

#include <algorithm>

namespace {
void postPortsChanged() {
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(InputNotifications::OSCOutPortsChanged));
}

QString key(const char* name) { return QString::fromLatin1(name); }

}  // namespace

QKOSCManager::QKOSCManager(AppControllerInterface* appController)
    : appController_(appController),
      dedicated_(key(kDedicatedDefaultsKey), key(kRawRoot), key(kDedicatedRoot)) {
  if (appController_) dataSourceController_.store(appController_->dataSourceController());
}

QKOSCManager::~QKOSCManager() {
  deleteAllInputs();  // no message reaches this object once it is going
  deleteAllOutputs();
}

void QKOSCManager::closeAll() {
  for (const auto& input : inPortArray().lockCopy()) input->close();
}

DataSourceController* QKOSCManager::controller() {
  DataSourceController* dsc = dataSourceController_.load();
  if (!dsc && appController_) {
    dsc = appController_->dataSourceController();
    dataSourceController_.store(dsc);
  }
  return dsc;
}

void QKOSCManager::receivedOSCMessage(const OSCMessage& message) {
  if (DataSourceController* dsc = controller()) dsc->receivedOSCMessage(&message);
}

std::shared_ptr<OSCOutPort> QKOSCManager::createNewOutputToAddress(const QString& address, int port,
                                                                   const QString& label) {
  auto output = OSCManager::createNewOutputToAddress(address, port, label);
  postPortsChanged();
  return output;
}

void QKOSCManager::removeInput(const std::shared_ptr<OSCInPort>& port) {
  OSCManager::removeInput(port);
  postPortsChanged();
}

void QKOSCManager::removeOutput(const std::shared_ptr<OSCOutPort>& port) {
  OSCManager::removeOutput(port);
  postPortsChanged();
}

std::shared_ptr<OSCOutPort> QKOSCManager::makeOutPort(const QString& address, int port,
                                                      const QString& label) {
  return std::make_shared<QKOSCOutPort>(address, port, label);
}

QString QKOSCManager::inPortLabelBase() const { return QStringLiteral("ZAPH"); }

void QKOSCManager::savePortsToDefaults() {
  QVariantList snapshots, numbers, outputs;
  for (const auto& input : inPortArray().lockCopy()) {
    snapshots << input->createSnapshot();
    numbers << (input->port() & 0xFFFF);
  }
  for (const auto& output : outPortArray().lockCopy()) outputs << output->createSnapshot();
  UserDefaults& defaults = UserDefaults::standard();
  defaults.registerDefaults(
      {{key(kInPortSnapshotsDefaultsKey), snapshots}, {key(kOutPortsDefaultsKey), outputs}});
  defaults.setValue(key(kInPortSnapshotsDefaultsKey), snapshots);
  defaults.setValue(key(kInPortNumbersDefaultsKey), numbers);
  defaults.setValue(key(kOutPortsDefaultsKey), outputs);
  defaults.synchronize();
}

void QKOSCManager::loadPortsFromDefaults() {
  UserDefaults& defaults = UserDefaults::standard();
  QVariant inputs = defaults.value(key(kInPortSnapshotsDefaultsKey));
  if (!inputs.isValid()) inputs = defaults.value(key(kInPortNumbersDefaultsKey));  // older form
  if (inputs.isValid()) {
    deleteAllInputs();
    for (const QVariant& entry : inputs.toList()) {
      if (entry.typeId() == QMetaType::QVariantMap)
        createNewInputFromSnapshot(entry.toMap());
      else if (VariantNumbers::isNumber(entry))
        createNewInputForPort(static_cast<int>(std::clamp<double>(entry.toDouble(), -1, 65536)));
    }
  }
  const QVariant outputs = defaults.value(key(kOutPortsDefaultsKey));
  if (outputs.isValid()) {
    deleteAllOutputs();
    for (const QVariant& entry : outputs.toList())
      if (entry.typeId() == QMetaType::QVariantMap) createNewOutputFromSnapshot(entry.toMap());
  }
  postPortsChanged();
}

void QKOSCManager::saveDedicatedToDefaults() { dedicated_.saveToDefaults(); }

void QKOSCManager::loadDedicatedFromDefaults() { dedicated_.loadFromDefaults(controller()); }

QString QKOSCManager::getUniqueDedicatedName() {
  DataSourceController* dsc = controller();
  for (long n = 2;; ++n) {
    const QString name = QStringLiteral("Ded. OSC %1").arg(n);
    if (!dsc || !dsc->dataSourceForKeyArray({key(kDedicatedRoot), name})) return name;
  }
}

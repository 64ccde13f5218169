#pragma once

#include "framework/datasource/DedicatedSources.h"
#include "platform/osc/OSCManager.h"

#include <QString>
#include <QVariantMap>

#include <atomic>

class AppControllerInterface;
class DataSourceController;

// The program's OSC manager. Every message arriving on an input port goes,
// on that port's thread, to the data-source controller, which names it into
// the tree. The input and output ports and the user's dedicated OSC sources
// live in the user defaults; every change of the port lists is announced
// ("QKOSCOutPortsChangedNotification"). Output ports are QKOSCOutPorts;
// input ports are labelled from "ZAPH".
class QKOSCManager : public OSCManager {
 public:
  static constexpr char kInPortSnapshotsDefaultsKey[] = "OSCInPortSnapshotArray";
  static constexpr char kInPortNumbersDefaultsKey[] = "OSCInPortArray";
  static constexpr char kOutPortsDefaultsKey[] = "OSCOutPortArray";
  static constexpr char kDedicatedDefaultsKey[] = "OSCDedicatedDict";
  static constexpr char kRawRoot[] = "OSC";
  static constexpr char kDedicatedRoot[] = "Dedicated OSC";

  explicit QKOSCManager(AppControllerInterface* appController);
  ~QKOSCManager() override;

  void receivedOSCMessage(const OSCMessage& message) override;

  std::shared_ptr<OSCOutPort> createNewOutputToAddress(const QString& address, int port,
                                                       const QString& label) override;
  void removeInput(const std::shared_ptr<OSCInPort>& port) override;
  void removeOutput(const std::shared_ptr<OSCOutPort>& port) override;
  std::shared_ptr<OSCOutPort> makeOutPort(const QString& address, int port,
                                          const QString& label) override;
  QString inPortLabelBase() const override;

  void savePortsToDefaults();
  // Input and output lists without a stored value are left alone.
  void loadPortsFromDefaults();
  // Closes every input port (at quit): nothing arrives afterwards. The
  // ports stay listed, so saving the ports afterwards loses none.
  void closeAll();

  void saveDedicatedToDefaults();
  void loadDedicatedFromDefaults();
  QVariantMap dedicatedSourcesDict() const { return dedicated_.dictionary(); }
  void setDedicatedSourcesDict(const QVariantMap& dictionary) {
    dedicated_.setDictionary(dictionary);
  }
  // Empty when the address has no dedicated name. Asked on input threads.
  QString dedicatedNameFor(const QString& address) const {
    return dedicated_.dedicatedNameFor(address);
  }
  // "Ded. OSC %ld" with the first number from 2 up that names no source
  // under "Dedicated OSC" yet.
  QString getUniqueDedicatedName();

 private:
  DataSourceController* controller();

  AppControllerInterface* const appController_;
  std::atomic<DataSourceController*> dataSourceController_{nullptr};
  DedicatedSources dedicated_;
};

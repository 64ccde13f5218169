#pragma once

#include "platform/audio/AudioBackend.h"
#include "platform/foundation/NotificationObservers.h"

#include <QMap>
#include <QString>

#include <memory>
#include <vector>

class QTimer;

class AppControllerInterface;
class QKAudioDeviceController;
class QKAudioPlugin;

// The registry of the machine's audio devices: one QKAudioDeviceController
// per device with inputs or outputs, filed by name in an input and an output
// dictionary (a device with both is one controller in both; a second device
// of one name is listed as "<name> (2)"), the default devices' names, and
// the list kept up to date when devices come and go: the backend's change
// notice reaches the main thread, where the lists are rebuilt, devices that
// stayed keep their controllers (and subscribers), every device that went is
// retired, and "QKAudioHardwareChangedNotification" is posted. Retires
// every device on "AppAboutToQuitNotification"; hands itself to audio
// plug-ins announcing themselves ("QKNewAudioPluginNotification").
//
// Main thread only.
class QKAudioDeviceThreadController {
 public:
  static const QString kAudioHardwareChangedNotification;  // "QKAudioHardwareChangedNotification"
  using Devices = QMap<QString, std::shared_ptr<QKAudioDeviceController>>;

  // On the machine's backend (JACK and PortAudio), or on `backend` (tests).
  explicit QKAudioDeviceThreadController(AppControllerInterface* appController,
                                         AudioBackend* backend = nullptr);
  ~QKAudioDeviceThreadController();

  void prepareAudioDeviceLists();
  void audioDevicesDidChange();

  void subscribeMeToInput(QKAudioPlugin* plugin, const QString& name) {
    subscribeMe(plugin, name, true);
  }
  void subscribeMe(QKAudioPlugin* plugin, const QString& name, bool isInput);
  void unsubscribeMeFromInput(QKAudioPlugin* plugin) { unsubscribeMe(plugin, true); }
  void unsubscribeMe(QKAudioPlugin* plugin, bool isInput);

  QKAudioDeviceController* ptrToAudioDeviceNamed(const QString& name, bool isInput = true) const;
  QKAudioDeviceController* ptrToAudioDeviceWithId(std::uint32_t id) const;
  const Devices& inputDeviceDictionary() const { return inputs_; }
  const Devices& outputDeviceDictionary() const { return outputs_; }
  QString defaultInputDeviceName() const { return defaultInputName_; }
  QString defaultOutputDeviceName() const { return defaultOutputName_; }

  void prepareToBeDeleted();
  AudioBackend& backend() { return *backend_; }

 private:
  // The list as the backend gives it now, each device under a unique name;
  // `reuse` answers the controller kept for an ID, or null.
  void fileDevices(
      Devices& inputs, Devices& outputs,
      const std::function<std::shared_ptr<QKAudioDeviceController>(std::uint32_t)>& reuse);
  void readDefaultNames();
  QString nameOfDevice(std::uint32_t id, const Devices& among) const;
  void appAboutToQuit();

  AppControllerInterface* appController_;
  std::unique_ptr<AudioBackend> ownBackend_;
  AudioBackend* backend_;
  Devices inputs_;
  Devices outputs_;
  QString defaultInputName_;
  QString defaultOutputName_;
  std::vector<std::shared_ptr<QKAudioDeviceController>> retired_;
  // Logs what the IO threads noted (AudioThreadLog), once a second.
  std::unique_ptr<QTimer> drainTimer_;
  // Guards the change notice's posted call.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // Last: removed first.
  NotificationObservers observers_;
};

#include "framework/audio/QKAudioDeviceThreadController.h"

#include "framework/audio/QKAudioDeviceController.h"
#include "framework/audio/QKAudioPlugin.h"
#include "platform/audio/MachineAudioBackend.h"
#include "platform/foundation/Log.h"
#include "platform/audio/AudioThreadLog.h"
#include "platform/foundation/MainThread.h"

#include <QTimer>

#include <algorithm>
#include "platform/foundation/NotificationCenter.h"

const QString QKAudioDeviceThreadController::kAudioHardwareChangedNotification =
    QStringLiteral("QKAudioHardwareChangedNotification");

QKAudioDeviceThreadController::QKAudioDeviceThreadController(AppControllerInterface* appController,
                                                             AudioBackend* backend)
    : appController_(appController),
      ownBackend_(backend ? nullptr : std::make_unique<MachineAudioBackend>()),
      backend_(backend ? backend : ownBackend_.get()) {
  prepareAudioDeviceLists();
  // The notice may come on any thread; the lists change on the main thread.
  std::weak_ptr<int> alive = alive_;
  backend_->setDevicesChangedHandler([this, alive] {
    MainThread::run([this, alive] {
      if (alive.lock()) audioDevicesDidChange();
    });
  });
  drainTimer_ = std::make_unique<QTimer>();
  QObject::connect(drainTimer_.get(), &QTimer::timeout, [] { AudioThreadLog::drain(); });
  drainTimer_->start(1000);
  observers_.observe(QKAudioPlugin::kNewAudioPluginNotification, nullptr,
                     [this](const Notification& notification) {
                       if (auto* plugin = static_cast<QKAudioPlugin*>(notification.object))
                         plugin->setAudioDeviceThreadController(this);
                     });
  observers_.observe(QStringLiteral("AppAboutToQuitNotification"), nullptr,
                     [this](const Notification&) { appAboutToQuit(); });
}

QKAudioDeviceThreadController::~QKAudioDeviceThreadController() {
  observers_.clear();
  backend_->setDevicesChangedHandler({});
  alive_.reset();
}

QString QKAudioDeviceThreadController::nameOfDevice(std::uint32_t id, const Devices& among) const {
  if (id == 0) return {};
  for (auto it = among.constBegin(); it != among.constEnd(); ++it)
    if (it.value()->deviceID() == id) return it.key();
  return {};
}

void QKAudioDeviceThreadController::fileDevices(
    Devices& inputs, Devices& outputs,
    const std::function<std::shared_ptr<QKAudioDeviceController>(std::uint32_t)>& reuse) {
  QMap<QString, int> seen;
  for (std::uint32_t id : backend_->deviceIds()) {
    std::shared_ptr<QKAudioDeviceController> device = reuse(id);
    if (!device) device = std::make_shared<QKAudioDeviceController>(*backend_, id);
    if (device->inputChannelCount() == 0 && device->outputChannelCount() == 0) continue;
    // Two devices of one name both stay reachable.
    const int count = ++seen[device->deviceName()];
    const QString name = count == 1
                             ? device->deviceName()
                             : QStringLiteral("%1 (%2)").arg(device->deviceName()).arg(count);
    if (device->outputChannelCount() > 0) outputs.insert(name, device);
    if (device->inputChannelCount() > 0) inputs.insert(name, device);
  }
}

void QKAudioDeviceThreadController::prepareAudioDeviceLists() {
  Devices inputs;
  Devices outputs;
  fileDevices(inputs, outputs, [](std::uint32_t) { return nullptr; });
  inputs_ = inputs;
  outputs_ = outputs;
  readDefaultNames();
}

// A JACK server coming or going changes the defaults too.
void QKAudioDeviceThreadController::readDefaultNames() {
  defaultInputName_ = nameOfDevice(backend_->defaultInputDevice(), inputs_);
  defaultOutputName_ = nameOfDevice(backend_->defaultOutputDevice(), outputs_);
}

void QKAudioDeviceThreadController::audioDevicesDidChange() {
  Devices inputs;
  Devices outputs;
  fileDevices(inputs, outputs,
              [this](std::uint32_t id) -> std::shared_ptr<QKAudioDeviceController> {
                for (const Devices* devices : {&inputs_, &outputs_})
                  for (const auto& device : *devices)
                    if (device->deviceID() == id && !device->deleted()) return device;
                return nullptr;
              });
  // Every controller no longer listed is retired (once, though it may be in
  // both dictionaries).
  for (const Devices* devices : {&inputs_, &outputs_})
    for (const auto& device : *devices) {
      bool kept = false;
      for (const auto& now : inputs) kept = kept || now == device;
      for (const auto& now : outputs) kept = kept || now == device;
      if (!kept) {
        device->prepareToBeDeleted();
        // Kept (stopped, without buffers) for as long as the registry
        // lives, so a plug-in still naming it never holds a dangling device.
        if (std::find(retired_.begin(), retired_.end(), device) == retired_.end())
          retired_.push_back(device);
      }
    }
  inputs_ = inputs;
  outputs_ = outputs;
  readDefaultNames();
  NotificationCenter::defaultCenter().post(kAudioHardwareChangedNotification, this);
}

void QKAudioDeviceThreadController::subscribeMe(QKAudioPlugin* plugin, const QString& name,
                                                bool isInput) {
  if (!plugin) return;
  QKAudioDeviceController* current = isInput ? plugin->audioSource() : plugin->audioDest();
  if (current && current == ptrToAudioDeviceNamed(name, isInput)) {
    Log::line(QStringLiteral("\t\terr: already subscribed to device %1").arg(name));
    return;
  }
  if (QKAudioDeviceController* device = ptrToAudioDeviceNamed(name, isInput)) {
    device->subscribeObject(plugin, isInput);
    return;
  }
  if (isInput)
    plugin->setAudioSource(nullptr);
  else
    plugin->setAudioDest(nullptr);
}

void QKAudioDeviceThreadController::unsubscribeMe(QKAudioPlugin* plugin, bool isInput) {
  if (!plugin) return;
  if (QKAudioDeviceController* device = isInput ? plugin->audioSource() : plugin->audioDest())
    device->unsubscribeObject(plugin, isInput);
}

QKAudioDeviceController* QKAudioDeviceThreadController::ptrToAudioDeviceNamed(const QString& name,
                                                                              bool isInput) const {
  const Devices& devices = isInput ? inputs_ : outputs_;
  const auto found = devices.constFind(name);
  return found == devices.constEnd() ? nullptr : found->get();
}

QKAudioDeviceController* QKAudioDeviceThreadController::ptrToAudioDeviceWithId(
    std::uint32_t id) const {
  for (const Devices* devices : {&inputs_, &outputs_})
    for (const auto& device : *devices)
      if (device->deviceID() == id) return device.get();
  return nullptr;
}

void QKAudioDeviceThreadController::appAboutToQuit() {
  for (const auto& device : inputs_) device->prepareToQuit();
  for (const auto& device : outputs_) device->prepareToQuit();
}

void QKAudioDeviceThreadController::prepareToBeDeleted() {
  observers_.clear();
  for (const auto& device : inputs_) device->prepareToBeDeleted();
  for (const auto& device : outputs_) device->prepareToBeDeleted();
}

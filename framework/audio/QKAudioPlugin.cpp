#include "framework/audio/QKAudioPlugin.h"

#include "framework/audio/QKAudioDeviceController.h"
#include "framework/audio/QKAudioDeviceThreadController.h"
#include "platform/foundation/NotificationCenter.h"

const QString QKAudioPlugin::kNewAudioPluginNotification =
    QStringLiteral("QKNewAudioPluginNotification");

QKAudioPlugin::QKAudioPlugin(const QString& name, const QString& windowTitle, std::int32_t uniqueID)
    : QKPlugin(name, windowTitle, uniqueID) {}

QKAudioPlugin::~QKAudioPlugin() = default;

void QKAudioPlugin::awakeFromNib() {
  QKPlugin::awakeFromNib();
  NotificationCenter::defaultCenter().post(kNewAudioPluginNotification, this);
  if (!registry_) {
    ownRegistry_ = std::make_unique<QKAudioDeviceThreadController>(appController());
    registry_ = ownRegistry_.get();
  }
}

void QKAudioPlugin::prepareToBeDeleted() {
  if (QKAudioDeviceController* source = audioSource()) source->deleteObject(this);
  if (QKAudioDeviceController* dest = audioDest()) dest->deleteObject(this);
  registry_ = nullptr;
  QKPlugin::prepareToBeDeleted();
}

std::int32_t QKAudioPlugin::audioPluginInputIOProc(std::uint32_t device, double now,
                                                   const AudioStreamBuffer* input,
                                                   AudioStreamBuffer* output) {
  const CycleFunction callback = inputCallback_.load();
  return callback ? callback(device, now, input, output, this) : 0;
}

std::int32_t QKAudioPlugin::audioPluginOutputIOProc(std::uint32_t device, double now,
                                                    const AudioStreamBuffer* input,
                                                    AudioStreamBuffer* output) {
  const CycleFunction callback = outputCallback_.load();
  return callback ? callback(device, now, input, output, this) : 0;
}

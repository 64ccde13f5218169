#include "platform/audio/MachineAudioBackend.h"

#include "platform/audio/JackAudioBackend.h"
#include "platform/audio/PortAudioBackend.h"

MachineAudioBackend::MachineAudioBackend()
    : portAudio_(std::make_unique<PortAudioBackend>()),
      jack_(std::make_unique<JackAudioBackend>()) {}

MachineAudioBackend::~MachineAudioBackend() = default;

AudioBackend& MachineAudioBackend::owner(std::uint32_t id) {
  if (id == JackAudioBackend::kDeviceId) return *jack_;
  return *portAudio_;
}

std::vector<std::uint32_t> MachineAudioBackend::deviceIds() {
  std::vector<std::uint32_t> ids = jack_->deviceIds();
  for (std::uint32_t id : portAudio_->deviceIds()) ids.push_back(id);
  return ids;
}

std::optional<AudioDeviceFacts> MachineAudioBackend::facts(std::uint32_t id) {
  return owner(id).facts(id);
}

std::uint32_t MachineAudioBackend::defaultInputDevice() {
  if (const std::uint32_t id = jack_->defaultInputDevice()) return id;
  return portAudio_->defaultInputDevice();
}

std::uint32_t MachineAudioBackend::defaultOutputDevice() {
  if (const std::uint32_t id = jack_->defaultOutputDevice()) return id;
  return portAudio_->defaultOutputDevice();
}

QString MachineAudioBackend::start(std::uint32_t id, IOFunction io, void* client) {
  return owner(id).start(id, io, client);
}

QString MachineAudioBackend::stop(std::uint32_t id) { return owner(id).stop(id); }

void MachineAudioBackend::setDevicesChangedHandler(std::function<void()> handler) {
  portAudio_->setDevicesChangedHandler(handler);
  jack_->setDevicesChangedHandler(std::move(handler));
}

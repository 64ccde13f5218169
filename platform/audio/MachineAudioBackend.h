#pragma once

#include "platform/audio/AudioBackend.h"

#include <memory>

class JackAudioBackend;
class PortAudioBackend;

// The machine's audio devices as the program sees them: a running JACK
// server through libjack (JackAudioBackend), sound cards through PortAudio
// (PortAudioBackend, which leaves JACK alone). PortAudio cannot stop a
// stream whose JACK server died, nor re-initialise past one, so JACK stays
// out of its reach. With a JACK server running, its device is the default
// input and output; otherwise PortAudio's defaults are.
class MachineAudioBackend : public AudioBackend {
 public:
  MachineAudioBackend();
  ~MachineAudioBackend() override;

  std::vector<std::uint32_t> deviceIds() override;
  std::optional<AudioDeviceFacts> facts(std::uint32_t id) override;
  std::uint32_t defaultInputDevice() override;
  std::uint32_t defaultOutputDevice() override;
  QString start(std::uint32_t id, IOFunction io, void* client) override;
  QString stop(std::uint32_t id) override;
  void setDevicesChangedHandler(std::function<void()> handler) override;

  JackAudioBackend& jack() { return *jack_; }

 private:
  AudioBackend& owner(std::uint32_t id);

  std::unique_ptr<PortAudioBackend> portAudio_;
  std::unique_ptr<JackAudioBackend> jack_;
};

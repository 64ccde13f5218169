#pragma once

#include "platform/audio/AudioBackend.h"

#include <map>
#include <mutex>

// The machine's devices through PortAudio (ALSA and JACK host APIs): one
// device per PortAudio device, one interleaved float stream per side, 256
// frames a cycle at the device's default rate. When a JACK server runs, its
// devices are the defaults. IDs are PortAudio's device indexes plus one.
// PortAudio's initialisation is counted, so this and the movie sound share
// it. Device changes are not followed yet (PortAudio sees new devices only
// after it is initialised again).
class PortAudioBackend : public AudioBackend {
 public:
  static constexpr int kFramesPerBuffer = 256;

  PortAudioBackend();
  ~PortAudioBackend() override;

  std::vector<std::uint32_t> deviceIds() override;
  std::optional<AudioDeviceFacts> facts(std::uint32_t id) override;
  std::uint32_t defaultInputDevice() override;
  std::uint32_t defaultOutputDevice() override;
  QString start(std::uint32_t id, IOFunction io, void* client) override;
  QString stop(std::uint32_t id) override;
  void setDevicesChangedHandler(std::function<void()> handler) override;

  // One open device (its PortAudio stream and whom it calls).
  struct Stream;

 private:
  bool initialised_ = false;
  std::mutex mutex_;
  std::map<std::uint32_t, std::unique_ptr<Stream>> streams_;
  std::function<void()> changed_;
};

#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// One stream's samples in a cycle: interleaved 32-bit floats.
struct AudioStreamBuffer {
  float* data = nullptr;
  int channels = 0;
  int frames = 0;
};

// A device as the backend describes it.
struct AudioDeviceFacts {
  std::uint32_t id = 0;
  QString name;                    // empty when it cannot be read
  std::vector<int> inputStreams;   // channel count of each input stream
  std::vector<int> outputStreams;  // and of each output stream
  int framesPerBuffer = 0;
  double sampleRate = 0;
};

// The machine's audio devices, as a backend lists and runs them: PortAudio
// in the program (PortAudioBackend), a fake whose cycles a test drives.
// A running device calls its IO function on the backend's IO thread with
// the cycle's buffers, one per stream and side.
class AudioBackend {
 public:
  using IOFunction = void (*)(void* client, const AudioStreamBuffer* inputs, int inputCount,
                              AudioStreamBuffer* outputs, int outputCount, double now);

  virtual ~AudioBackend() = default;

  virtual std::vector<std::uint32_t> deviceIds() = 0;
  // Empty for an ID the backend does not know.
  virtual std::optional<AudioDeviceFacts> facts(std::uint32_t id) = 0;
  // 0 when there is none.
  virtual std::uint32_t defaultInputDevice() = 0;
  virtual std::uint32_t defaultOutputDevice() = 0;

  // Starts calling `io` with `client` for every cycle of the device; answers
  // the error, empty on success.
  virtual QString start(std::uint32_t id, IOFunction io, void* client) = 0;
  virtual QString stop(std::uint32_t id) = 0;

  // Called, on any thread, when devices come or go.
  virtual void setDevicesChangedHandler(std::function<void()> handler) = 0;
};

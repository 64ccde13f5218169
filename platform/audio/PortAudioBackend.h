#pragma once

#include "platform/audio/AudioBackend.h"
#include "platform/audio/AudioSession.h"

#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QTimer;

// The machine's sound cards through PortAudio (JACK is JackAudioBackend's:
// the shared AudioSession keeps PortAudio away from any JACK server): one
// device per PortAudio device, one interleaved float stream per device (both
// sides at once), 256 frames a cycle at the device's default rate, PortAudio's
// defaults. A device's ID stays the same for its name across
// re-initialisations, so streams reopen by name.
//
// Hot-plug: a main-thread watch notes sound cards (/dev/snd) coming and
// going; 1 s after the last change the shared AudioSession closes every
// stream (the movies' sound too), re-initialises PortAudio and reopens them,
// and the change handler runs. Made and used on the main thread; the stream
// callbacks run on PortAudio's threads.
class PortAudioBackend : public AudioBackend, private AudioSession::Client {
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

  // Re-reads the devices now (what the watch does after a change).
  void reinitialise();

  // One open device (its PortAudio stream and whom it calls).
  struct Stream;

 private:
  struct Device {
    std::uint32_t id;
    int index;  // PortAudio's, valid until the next re-initialisation
  };
  void closeStreams() override;
  void reopenStreams() override;
  void readDevices();
  int indexOf(std::uint32_t id) const;
  QString open(std::uint32_t id, Stream& stream);
  QString watchSignature();
  void watch();

  bool initialised_ = false;
  std::vector<Device> devices_;
  std::map<QString, std::uint32_t> idsByKey_;
  std::uint32_t nextId_ = 1;
  std::mutex mutex_;
  std::map<std::uint32_t, std::unique_ptr<Stream>> streams_;
  std::function<void()> changed_;
  std::unique_ptr<QTimer> watchTimer_;
  QString signature_;
  int quietTicks_ = -1;  // watch ticks since the last change; -1: none pending
};

#pragma once

#include "platform/audio/AudioBackend.h"

#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class QTimer;
typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

// The JACK server as one audio device, over libjack: inputs from the
// server's physical capture ports, outputs to its physical playback ports,
// at the server's rate and period. A running device is a JACK client of its
// own ("ZAPH audio") whose process cycle interleaves the ports into the IO
// function's buffers and back.
//
// The server may go and come while ZAPH runs. A main-thread watch (a small
// client of its own) finds the server within a second of its start and,
// through libjack's shutdown notice, within a tick of its end: the device
// leaves the list, every client of the dead server is closed (the only call
// a dead client still takes) and the change handler runs; when the server
// is back the device is listed again under the same ID.
//
// Made and used on the main thread; process cycles run on libjack's thread,
// take no lock and allocate nothing.
class JackAudioBackend : public AudioBackend {
 public:
  static constexpr std::uint32_t kDeviceId = 0x80000001u;

  JackAudioBackend();
  ~JackAudioBackend() override;
  JackAudioBackend(const JackAudioBackend&) = delete;
  JackAudioBackend& operator=(const JackAudioBackend&) = delete;

  std::vector<std::uint32_t> deviceIds() override;
  std::optional<AudioDeviceFacts> facts(std::uint32_t id) override;
  std::uint32_t defaultInputDevice() override;
  std::uint32_t defaultOutputDevice() override;
  QString start(std::uint32_t id, IOFunction io, void* client) override;
  QString stop(std::uint32_t id) override;
  void setDevicesChangedHandler(std::function<void()> handler) override;

  bool serverRunning() const { return watchClient_ != nullptr; }
  // One watch tick: notes the server going or coming (the timer's work;
  // tests call it to skip the wait).
  void watch();

  // A running device's JACK client and the buffers its cycles use.
  struct Stream;

 private:
  bool connectWatch();
  void readServerFacts();
  void serverWentAway();
  void closeStreamClient(Stream& stream);
  QString openStreamClient(Stream& stream);

  jack_client_t* watchClient_ = nullptr;
  // Set by libjack's shutdown notice (any thread, signal-handler rules).
  std::atomic<bool> watchShutDown_{false};
  AudioDeviceFacts facts_;
  std::vector<QString> capturePorts_;
  std::vector<QString> playbackPorts_;
  std::unique_ptr<Stream> stream_;
  std::function<void()> changed_;
  std::unique_ptr<QTimer> watchTimer_;
  int ticksSinceProbe_ = 0;
};

#pragma once

#include <rtmidi/RtMidi.h>

#include <chrono>
#include <string>

// A MIDI output that, under JACK, lets its client's process thread finish a
// cycle under way before the output goes. RtMidi's JACK output frees the
// buffers of queued messages before it closes its client, while a cycle that
// began before the port closed may still be reading them (a crash when an
// output goes while messages flow). Going, it closes the port first (later
// cycles find no port and read nothing), then waits `kSettle`, then lets
// RtMidi free and close. An output that never opened a port goes at once.
class SettlingMidiOut : public RtMidiOut {
 public:
  static constexpr std::chrono::milliseconds kSettle{200};

  explicit SettlingMidiOut(RtMidi::Api api = UNSPECIFIED,
                           const std::string& clientName = "RtMidi Output Client");
  ~SettlingMidiOut() override;
  SettlingMidiOut(const SettlingMidiOut&) = delete;
  SettlingMidiOut& operator=(const SettlingMidiOut&) = delete;

  void openPort(unsigned int portNumber = 0,
                const std::string& portName = std::string("RtMidi Output")) override;
  void openVirtualPort(const std::string& portName = std::string("RtMidi Output")) override;

 private:
  bool portOpened_ = false;
};

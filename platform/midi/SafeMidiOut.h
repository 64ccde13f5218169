#pragma once

#include <rtmidi/RtMidi.h>

#include <string>

// An RtMidiOut that may go, or close its port, while its messages still flow.
// Under JACK it sends through JackMidiOutApi, whose port goes only with its
// client; other interfaces are RtMidi's own.
class SafeMidiOut : public RtMidiOut {
 public:
  explicit SafeMidiOut(RtMidi::Api api = UNSPECIFIED,
                       const std::string& clientName = "RtMidi Output Client");
  SafeMidiOut(const SafeMidiOut&) = delete;
  SafeMidiOut& operator=(const SafeMidiOut&) = delete;
};

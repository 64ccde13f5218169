#include "platform/midi/SafeMidiOut.h"

#include "platform/midi/JackMidiOutApi.h"

SafeMidiOut::SafeMidiOut(RtMidi::Api api, const std::string& clientName)
    : RtMidiOut(api, clientName) {
  if (getCurrentApi() != RtMidi::UNIX_JACK) return;
  // RtMidi's JACK output has no port yet, so it goes safely.
  delete rtapi_;
  rtapi_ = nullptr;
  rtapi_ = new JackMidiOutApi(clientName);
}

#include "platform/midi/SettlingMidiOut.h"

#include <exception>
#include <thread>

SettlingMidiOut::SettlingMidiOut(RtMidi::Api api, const std::string& clientName)
    : RtMidiOut(api, clientName) {}

SettlingMidiOut::~SettlingMidiOut() {
  if (!portOpened_ || getCurrentApi() != RtMidi::UNIX_JACK) return;
  try {
    closePort();
  } catch (const std::exception&) {
    // RtMidi reports through its error callback; the output goes all the same.
  }
  std::this_thread::sleep_for(kSettle);
}

void SettlingMidiOut::openPort(unsigned int portNumber, const std::string& portName) {
  portOpened_ = true;
  RtMidiOut::openPort(portNumber, portName);
}

void SettlingMidiOut::openVirtualPort(const std::string& portName) {
  portOpened_ = true;
  RtMidiOut::openVirtualPort(portName);
}

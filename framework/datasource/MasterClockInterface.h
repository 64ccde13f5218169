#pragma once

class QKMIDIMessage;

// What the framework asks of the master clock.
class MasterClockInterface {
 public:
  virtual ~MasterClockInterface() = default;
  // A MIDI timing clock (0xF8), start (0xFA) or stop (0xFC), on the MIDI
  // input thread; it must not wait.
  virtual void midiClockReceived(const QKMIDIMessage& message) = 0;
};

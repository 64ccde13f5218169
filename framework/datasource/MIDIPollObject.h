#pragma once

// An object the MIDI manager bangs once per data-source tick, on the tick
// thread (the MIDI outputs, which send what changed). It registers by
// posting "QKMIDIRegisterForPollNotification" with itself as object and
// unregisters before it goes; unregistering waits for a bang under way.
class MIDIPollObject {
 public:
  virtual ~MIDIPollObject() = default;
  virtual void bang() = 0;
};

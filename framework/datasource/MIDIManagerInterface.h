#pragma once

// What the data-source controller asks of the MIDI manager.
class MIDIManagerInterface {
 public:
  virtual ~MIDIManagerInterface() = default;
  // Once per tick, on the tick thread, last in the tick: passed on to every
  // MIDI output registered for polling.
  virtual void bang() = 0;
};

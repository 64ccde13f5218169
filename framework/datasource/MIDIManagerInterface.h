#pragma once

#include <QString>

// What the data-source controller asks of the MIDI manager.
class MIDIManagerInterface {
 public:
  virtual ~MIDIManagerInterface() = default;
  // Once per tick, on the tick thread, last in the tick: passed on to every
  // MIDI output registered for polling.
  virtual void bang() = 0;
  // The name the user dedicated to a MIDI source (a name under "MIDI"), or
  // an empty string. Asked on the MIDI input thread.
  virtual QString dedicatedNameFor(const QString& sourceName) const {
    (void)sourceName;
    return {};
  }
};

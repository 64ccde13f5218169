#pragma once

#include "platform/midi/QKMIDIMessage.h"

#include <QString>

#include <optional>

// What the MIDI monitor's three fields show for a message: a control change,
// a pitch wheel or a note on; nothing for any other message (the fields keep
// what they show).
class MIDIMonitorText {
 public:
  struct Fields {
    QString type;
    QString value;
    QString channel;
  };
  // Whether the monitor shows the message at all.
  static bool isShown(const QKMIDIMessage& message);
  // `naturalNames`: notes as letters ("C3"), else as numbers.
  static std::optional<Fields> forMessage(const QKMIDIMessage& message, bool naturalNames);
  // The user default "QKMIDIUseNaturalNoteNamesFlag": 1 or absent is on.
  static bool naturalNamesWanted();
};

#pragma once

#include <QString>
#include <QStringList>

#include <rtmidi/RtMidi.h>

#include <vector>

// The MIDI ports one RtMidi object sees, named so that a name stays the same
// when a controller is unplugged and plugged in again.
//
// The ALSA sequencer reports "Client:Port 24:0", whose numbers change from
// one plug-in to the next; the numbers are left out. JACK's "client:port" is
// stable as it stands. Ports that share a name get " 2", " 3" … in list
// order. The program's own ports (made by clients named after
// `kClientName`) are left out.
class QKMIDIPortList {
 public:
  static constexpr const char* kClientName = "ZAPH";
  // Port names of the connections the program makes to other ports.
  static constexpr const char* kListenPortName = "ZAPH in";
  static constexpr const char* kSendPortName = "ZAPH out";

  struct Port {
    QString name;        // stable name
    QString raw;         // the API's own name (changes when a device is plugged in again)
    unsigned int index;  // index for openPort, valid until the list changes
  };

  // `ownPortNames`: the names of the program's virtual ports, left out too.
  static std::vector<Port> list(RtMidi& midi, const QStringList& ownPortNames);
  static QStringList names(const std::vector<Port>& ports);
  static QStringList rawNames(const std::vector<Port>& ports);

  // The API's port name without what changes between plug-ins.
  static QString stableName(const QString& rawName);
  static bool isOwnPort(const QString& stable, const QStringList& ownPortNames);

  // ALSA sequencer when /dev/snd/seq exists, else JACK; ZAPH_MIDI_API
  // ("alsa" or "jack") overrides.
  static RtMidi::Api chooseApi();
  static QString apiName(RtMidi::Api api);
};

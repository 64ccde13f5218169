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
// order. The program's own ports (made by clients named by `clientName`)
// are left out.
//
// Every client the program opens has a name of its own that does not depend
// on the order of start-up, so a port of ours has the same full name on every
// run (a saved JACK patchbay finds it again): "ZAPH in:To ZAPH" for the port
// other programs send to, "ZAPH < fakectl/Knobs:ZAPH in" for the connection
// that listens to the source "fakectl:Knobs".
class QKMIDIPortList {
 public:
  static constexpr const char* kClientName = "ZAPH";
  enum class Client {
    Receiving,        // the virtual endpoint other programs send to
    Sending,          // the virtual endpoint other programs read from
    ListSources,      // lists the system's sources
    ListDests,        // lists the system's destinations
    Source,           // listens to the source `endpoint`
    Destination,      // sends to the destination `endpoint`
    Watch,            // watches the JACK server
    ListConnections,  // asks the ALSA sequencer which ports a port sends to
  };
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

  // At most kMaxClientNameBytes of UTF-8 (room is left for JACK's "-01" when
  // a second copy of the program runs); an endpoint name too long for it is
  // cut and ends in "~" and a digest of the whole name, so names stay
  // distinct.
  static constexpr int kMaxClientNameBytes = 56;
  static QString clientName(Client client, const QString& endpoint = {});
  // Whether the port of that full name belongs to the client `client` (also
  // under the "-NN" JACK appends to a name that is taken).
  static bool belongsTo(const QString& fullPortName, const QString& client);

  // ALSA sequencer when /dev/snd/seq exists, else JACK; ZAPH_MIDI_API
  // ("alsa" or "jack") overrides.
  static RtMidi::Api chooseApi();
  static QString apiName(RtMidi::Api api);
};

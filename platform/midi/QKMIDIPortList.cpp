#include "platform/midi/QKMIDIPortList.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

std::vector<QKMIDIPortList::Port> QKMIDIPortList::list(RtMidi& midi,
                                                       const QStringList& ownPortNames) {
  std::vector<Port> ports;
  QHash<QString, int> seen;
  const unsigned int count = midi.getPortCount();
  for (unsigned int i = 0; i < count; ++i) {
    const QString raw = QString::fromStdString(midi.getPortName(i));
    if (raw.isEmpty()) continue;  // vanished while listing
    QString name = stableName(raw);
    if (isOwnPort(name, ownPortNames)) continue;
    const int n = ++seen[name];
    if (n > 1) name += QStringLiteral(" %1").arg(n);
    ports.push_back({name, raw, i});
  }
  return ports;
}

QStringList QKMIDIPortList::names(const std::vector<Port>& ports) {
  QStringList out;
  for (const Port& port : ports) out << port.name;
  return out;
}

QStringList QKMIDIPortList::rawNames(const std::vector<Port>& ports) {
  QStringList out;
  for (const Port& port : ports) out << port.raw;
  return out;
}

QString QKMIDIPortList::stableName(const QString& rawName) {
  static const QRegularExpression alsaAddress(QStringLiteral(" \\d+:\\d+$"));
  QString name = rawName;
  name.remove(alsaAddress);
  return name;
}

bool QKMIDIPortList::isOwnPort(const QString& stable, const QStringList& ownPortNames) {
  static const QRegularExpression ownClient(
      QStringLiteral("^%1(?:[ -][^:]*)?:")
          .arg(QRegularExpression::escape(QString::fromLatin1(kClientName))));
  const auto match = ownClient.match(stable);
  if (!match.hasMatch()) return false;
  const QString port = stable.mid(match.capturedLength());
  return port == QLatin1String(kListenPortName) || port == QLatin1String(kSendPortName) ||
         ownPortNames.contains(port);
}

QString QKMIDIPortList::clientName(Client client, const QString& endpoint) {
  const QString base = QString::fromLatin1(kClientName);
  switch (client) {
    case Client::Receiving:
      return base + QStringLiteral(" in");
    case Client::Sending:
      return base + QStringLiteral(" out");
    case Client::ListSources:
      return base + QStringLiteral(" list in");
    case Client::ListDests:
      return base + QStringLiteral(" list out");
    case Client::Watch:
      return base + QStringLiteral(" watch");
    case Client::ListConnections:
      return base + QStringLiteral(" list connections");
    case Client::Source:
    case Client::Destination:
      break;
  }
  // ':' ends a client name in a full port name.
  QString name = endpoint;
  name.replace(QLatin1Char(':'), QLatin1Char('/'));
  const QString prefix =
      base + (client == Client::Source ? QStringLiteral(" < ") : QStringLiteral(" > "));
  QString full = prefix + name;
  if (full.toUtf8().size() <= kMaxClientNameBytes) return full;
  const QString digest = QString::fromLatin1(
      QCryptographicHash::hash(endpoint.toUtf8(), QCryptographicHash::Sha1).toHex().left(6));
  const int room = kMaxClientNameBytes - static_cast<int>(prefix.toUtf8().size()) - 7;
  QString cut;
  for (const QChar c : name) {  // whole characters only
    if ((cut + c).toUtf8().size() > room) break;
    cut += c;
  }
  if (!cut.isEmpty() && cut.back().isHighSurrogate()) cut.chop(1);
  return prefix + cut + QLatin1Char('~') + digest;
}

bool QKMIDIPortList::belongsTo(const QString& fullPortName, const QString& client) {
  if (!fullPortName.startsWith(client)) return false;
  const QString rest = fullPortName.mid(client.size());
  static const QRegularExpression renamed(QStringLiteral("^(-\\d+)?:"));
  return renamed.match(rest).hasMatch();
}

RtMidi::Api QKMIDIPortList::chooseApi() {
  const QByteArray forced = qgetenv("ZAPH_MIDI_API").toLower();
  if (forced == "alsa") return RtMidi::LINUX_ALSA;
  if (forced == "jack") return RtMidi::UNIX_JACK;
  // RtMidi's own choice tries ALSA first and throws when the sequencer
  // device is missing; decide here instead.
  if (QFileInfo::exists(QStringLiteral("/dev/snd/seq"))) return RtMidi::LINUX_ALSA;
  return RtMidi::UNIX_JACK;
}

QString QKMIDIPortList::apiName(RtMidi::Api api) {
  return QString::fromStdString(RtMidi::getApiDisplayName(api));
}

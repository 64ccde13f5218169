#include "platform/midi/QKAlsaConnections.h"

#include "platform/midi/QKMIDIPortList.h"

#include <QRegularExpression>

#include <alsa/asoundlib.h>

QKAlsaConnections::QKAlsaConnections() {
  if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) {
    seq_ = nullptr;
    return;
  }
  const QByteArray name =
      QKMIDIPortList::clientName(QKMIDIPortList::Client::ListConnections).toUtf8();
  snd_seq_set_client_name(seq_, name.constData());
}

QKAlsaConnections::~QKAlsaConnections() {
  if (seq_) snd_seq_close(seq_);
}

std::optional<std::pair<int, int>> QKAlsaConnections::address(const QString& rtMidiPortName) {
  static const QRegularExpression numbers(QStringLiteral(" (\\d+):(\\d+)$"));
  const auto match = numbers.match(rtMidiPortName);
  if (!match.hasMatch()) return std::nullopt;
  return std::make_pair(match.captured(1).toInt(), match.captured(2).toInt());
}

QStringList QKAlsaConnections::connections(const QString& rtMidiPortName) {
  QStringList out;
  const auto root = address(rtMidiPortName);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!seq_ || !root) return out;
  snd_seq_addr_t addr;
  addr.client = static_cast<unsigned char>(root->first);
  addr.port = static_cast<unsigned char>(root->second);
  snd_seq_query_subscribe_t* query;
  snd_seq_query_subscribe_alloca(&query);
  snd_seq_query_subscribe_set_root(query, &addr);
  snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_READ);
  snd_seq_query_subscribe_set_index(query, 0);
  while (snd_seq_query_port_subscribers(seq_, query) >= 0) {
    const snd_seq_addr_t* peer = snd_seq_query_subscribe_get_addr(query);
    const QString name = portName(peer->client, peer->port);
    if (!name.isEmpty()) out << name;
    snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
  }
  return out;
}

QString QKAlsaConnections::portName(int client, int port) {
  snd_seq_client_info_t* clientInfo;
  snd_seq_client_info_alloca(&clientInfo);
  snd_seq_port_info_t* portInfo;
  snd_seq_port_info_alloca(&portInfo);
  if (snd_seq_get_any_client_info(seq_, client, clientInfo) < 0) return {};
  if (snd_seq_get_any_port_info(seq_, client, port, portInfo) < 0) return {};
  return QStringLiteral("%1:%2").arg(QString::fromUtf8(snd_seq_client_info_get_name(clientInfo)),
                                     QString::fromUtf8(snd_seq_port_info_get_name(portInfo)));
}

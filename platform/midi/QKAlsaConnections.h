#pragma once

#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>
#include <utility>

typedef struct _snd_seq snd_seq_t;

// Tells which ports of the ALSA sequencer a port sends to (its read
// subscriptions), through a sequencer client of its own that has no ports.
// Without a sequencer device every port answers no connections.
class QKAlsaConnections {
 public:
  QKAlsaConnections();
  ~QKAlsaConnections();
  QKAlsaConnections(const QKAlsaConnections&) = delete;
  QKAlsaConnections& operator=(const QKAlsaConnections&) = delete;

  // The ports the port of that RtMidi name ("Client:Port 24:0") sends to,
  // named as RtMidi's stable names are ("Client:Port").
  QStringList connections(const QString& rtMidiPortName);

  // The client and port numbers at the end of an RtMidi ALSA port name.
  static std::optional<std::pair<int, int>> address(const QString& rtMidiPortName);

 private:
  QString portName(int client, int port);

  std::mutex mutex_;
  snd_seq_t* seq_ = nullptr;
};

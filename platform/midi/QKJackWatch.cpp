#include "platform/midi/QKJackWatch.h"

#include "platform/foundation/Log.h"
#include "platform/midi/QKMIDIPortList.h"

#include <jack/jack.h>

namespace {
void jackMessage(const char* text) {
  Log::limited(QStringLiteral("jack-messages"),
               QStringLiteral("\t\terr: JACK: %1").arg(QString::fromLocal8Bit(text)), 60.0);
}
}  // namespace

QKJackWatch::QKJackWatch() {
  jack_set_error_function(jackMessage);
  jack_set_info_function(jackMessage);
}

QKJackWatch::~QKJackWatch() { disconnect(); }

bool QKJackWatch::connect() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (client_ && !shutDown_.load()) return true;
  forgetClient();
  jack_status_t status;
  const QByteArray name = QKMIDIPortList::clientName(QKMIDIPortList::Client::Watch).toUtf8();
  client_ = jack_client_open(name.constData(), JackNoStartServer, &status);
  if (!client_) return false;
  shutDown_.store(false);
  jack_on_shutdown(client_, &QKJackWatch::serverShutDown, this);
  if (jack_activate(client_) != 0) {
    jack_client_close(client_);
    client_ = nullptr;
    return false;
  }
  connected_.store(true);
  return true;
}

void QKJackWatch::disconnect() {
  std::lock_guard<std::mutex> lock(mutex_);
  forgetClient();
}

QStringList QKJackWatch::connections(const QString& fullPortName) {
  std::lock_guard<std::mutex> lock(mutex_);
  QStringList out;
  if (!client_ || shutDown_.load()) return out;
  jack_port_t* port = jack_port_by_name(client_, fullPortName.toUtf8().constData());
  if (!port) return out;
  const char** names = jack_port_get_all_connections(client_, port);
  if (!names) return out;
  for (const char** name = names; *name; ++name) out << QString::fromUtf8(*name);
  jack_free(names);
  return out;
}

void QKJackWatch::forgetClient() {
  // libjack crashes closing a client whose server has shut down (once a new
  // server runs under the same name): such a client is left as it is.
  if (client_ && !shutDown_.load()) jack_client_close(client_);
  client_ = nullptr;
  connected_.store(false);
}

void QKJackWatch::serverShutDown(void* watch) {
  static_cast<QKJackWatch*>(watch)->shutDown_.store(true);
}

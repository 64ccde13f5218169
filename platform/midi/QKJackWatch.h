#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>

typedef struct _jack_client jack_client_t;

// Watches the JACK server that MIDI over JACK depends on: a small client of
// its own tells whether the server is there and notices when it goes away.
// libjack's own messages are routed to the log at a limited rate (it prints
// on every failed attempt otherwise).
class QKJackWatch {
 public:
  QKJackWatch();
  ~QKJackWatch();
  QKJackWatch(const QKJackWatch&) = delete;
  QKJackWatch& operator=(const QKJackWatch&) = delete;

  // Connects when not connected; answers whether the server is there now.
  bool connect();
  // True while connected and the server has not shut down.
  bool alive() const { return connected_.load() && !shutDown_.load(); }
  void disconnect();
  // The full names of the ports the port `fullPortName` is connected to
  // (empty when not connected or the port is gone).
  QStringList connections(const QString& fullPortName);

 private:
  static void serverShutDown(void* watch);
  void forgetClient();  // with the mutex held

  std::mutex mutex_;
  jack_client_t* client_ = nullptr;
  std::atomic<bool> connected_{false};
  std::atomic<bool> shutDown_{false};
};

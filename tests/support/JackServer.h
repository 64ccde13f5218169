#pragma once

#include <QString>

#include <string>

#include <sys/types.h>

// A private JACK server with the dummy driver for one test process:
// `jackd -n <unique> -t 5000 -d dummy -r 48000 -p 256`. Every JACK client the process
// makes afterwards connects to it (JACK_DEFAULT_SERVER) and none starts a
// server of its own (JACK_NO_START_SERVER). Stopped with SIGTERM when the
// object goes. Before it starts a server it clears the registry entries that
// dead test servers left (JackRegistry), and says so when the registry is
// full of running ones.
class JackServer {
 public:
  // A fresh name unless one is given (to start the server that clients made
  // earlier, under that name, are waiting for). One test server runs at a
  // time on the machine: a process holds one JackServer at a time.
  explicit JackServer(QString name = {});
  static QString uniqueName();
  // Every test server's name starts with it.
  static QString namePrefix();
  // The index of the first port (in a JACK client's list, "client:port")
  // whose name ends with `suffix`, or -1.
  template <class Midi>
  static int portIndex(Midi& midi, const std::string& suffix) {
    for (unsigned i = 0; i < midi.getPortCount(); ++i)
      if (midi.getPortName(i).ends_with(suffix)) return static_cast<int>(i);
    return -1;
  }
  ~JackServer();
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  bool ready() const { return ready_; }
  // Why the server is not ready, with the server's own output.
  QString error() const { return error_; }
  QString name() const { return name_; }

 private:
  bool registryHasRoom();
  bool waitUntilAcceptingClients(double timeoutSeconds);
  void stopServer();

  QString name_;
  QString logPath_;
  int machineLock_ = -1;
  pid_t pid_ = -1;
  bool ready_ = false;
  QString error_;
};

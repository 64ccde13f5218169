#pragma once

#include <QObject>

#include <functional>
#include <initializer_list>

class QSocketNotifier;

// Turns Unix signals (SIGINT, SIGTERM) into a call on the main thread, by the
// self-pipe trick: the handler only writes the signal number to a socket.
class UnixSignalWatcher : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<void(int signal)>;

  UnixSignalWatcher(std::initializer_list<int> signalNumbers, Handler handler, QObject* parent = nullptr);
  ~UnixSignalWatcher() override;

 private:
  void readSignal();

  Handler handler_;
  QSocketNotifier* notifier_ = nullptr;
};

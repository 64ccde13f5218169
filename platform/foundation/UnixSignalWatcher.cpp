#include "platform/foundation/UnixSignalWatcher.h"

#include "platform/foundation/Log.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalSockets[2] = {-1, -1};

void onSignal(int signal) {
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}
}  // namespace

UnixSignalWatcher::UnixSignalWatcher(std::initializer_list<int> signalNumbers, Handler handler,
                                     QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
  if (signalSockets[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0) {
    Log::line("\t\terr: could not create the signal socket pair");
    return;
  }
  notifier_ = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignal);
  for (int signal : signalNumbers) {
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
  }
}

UnixSignalWatcher::~UnixSignalWatcher() = default;

void UnixSignalWatcher::readSignal() {
  unsigned char byte = 0;
  if (::read(signalSockets[1], &byte, 1) == 1 && handler_) handler_(byte);
}

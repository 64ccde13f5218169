#include "platform/osc/OSCInPort.h"

#include "platform/foundation/Log.h"
#include "platform/osc/OSCLoCodec.h"

#include <lo/lo.h>

#include <sys/socket.h>

#include <exception>

namespace {
// liblo reports errors through a handler without user data: while a server
// is being made on this thread its error lands here, otherwise it came from a
// server thread reading a packet.
thread_local QString* creationError = nullptr;
}  // namespace

struct OSCInPort::Server {
  lo_server_thread thread = nullptr;
  int receiveBuffer = 0;

  ~Server() {
    if (thread) lo_server_thread_free(thread);  // stops and joins the thread first
  }

  static void error(int number, const char* message, const char* where) {
    const QString text =
        QStringLiteral("%1%2 (%3)")
            .arg(QString::fromUtf8(message ? message : "unknown error"),
                 where ? QStringLiteral(" at %1").arg(QString::fromUtf8(where)) : QString())
            .arg(number);
    if (creationError) {
      *creationError = text;
      return;
    }
    Log::limited(
        QStringLiteral("osc-bad-packet"),
        QStringLiteral("\t\terr: dropped an OSC packet that could not be read: %1").arg(text));
  }

  // Asks for a larger receive buffer: past the system's limit where the
  // process may (SO_RCVBUFFORCE), else up to the limit. Answers the size the
  // kernel reports.
  int enlargeReceiveBuffer(int bytes) const {
    const int fd = lo_server_get_socket_fd(lo_server_thread_get_server(thread));
    if (fd < 0) return 0;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
      ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    int obtained = 0;
    socklen_t length = sizeof obtained;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &obtained, &length) != 0) return 0;
    return obtained;
  }

  static int handle(const char* path, const char* types, lo_arg** argv, int argc, lo_message,
                    void* user) {
    auto* port = static_cast<OSCInPort*>(user);
    try {
      if (port->receiver_) port->receiver_(OSCLoCodec::fromLo(path, types, argv, argc));
    } catch (const std::exception& e) {
      Log::limited(QStringLiteral("osc-input-exception"),
                   QStringLiteral("\t\terr: caught exception on OSC input port %1: %2")
                       .arg(port->port_.load())
                       .arg(QString::fromUtf8(e.what())));
    } catch (...) {
      Log::limited(QStringLiteral("osc-input-exception"),
                   QStringLiteral("\t\terr: caught unknown exception on OSC input port %1")
                       .arg(port->port_.load()));
    }
    return 0;  // handled
  }
};

OSCInPort::OSCInPort(int port, QString label, Receiver receiver)
    : port_(port), label_(std::move(label)), receiver_(std::move(receiver)) {}

OSCInPort::~OSCInPort() { close(); }

bool OSCInPort::open() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (server_) return true;
  if (deleted_) return false;
  lastError_.clear();
  if (!isValidPortNumber(port_)) {
    lastError_ = QStringLiteral("%1 is not a port number (1 to 65535)").arg(port_.load());
    return false;
  }
  QString error;
  creationError = &error;
  auto server = std::make_unique<Server>();
  server->thread = lo_server_thread_new_with_proto(QByteArray::number(port_.load()).constData(),
                                                   LO_UDP, &Server::error);
  creationError = nullptr;
  if (!server->thread) {
    // liblo only says it found no free port when the bind failed.
    lastError_ = QStringLiteral("port %1 is taken or not permitted: %2")
                     .arg(port_.load())
                     .arg(error.isEmpty() ? QStringLiteral("no reason given") : error);
    return false;
  }
  server->receiveBuffer = server->enlargeReceiveBuffer(kReceiveBufferBytes);
  Log::line(QStringLiteral("OSC input port %1: a receive buffer of %2 KB")
                .arg(port_.load())
                .arg(server->receiveBuffer / 1024));
  lo_server_thread_add_method(server->thread, nullptr, nullptr, &Server::handle, this);
  // Live control acts on arrival: a bundle's time tag does not hold it back
  // (nor lets a stream of far-future bundles pile up in memory).
  lo_server_enable_queue(lo_server_thread_get_server(server->thread), 0, 1);
  if (lo_server_thread_start(server->thread) != 0) {
    lastError_ = QStringLiteral("could not start the server thread");
    return false;
  }
  server_ = std::move(server);
  return true;
}

void OSCInPort::close() {
  std::unique_ptr<Server> server;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    server = std::move(server_);
  }
  server.reset();  // joins the server thread outside the lock
}

bool OSCInPort::isOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return server_ != nullptr;
}

QString OSCInPort::lastError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastError_;
}

int OSCInPort::receiveBufferBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return server_ ? server_->receiveBuffer : 0;
}

bool OSCInPort::setPort(int port) {
  close();
  port_.store(port);
  return open();
}

QString OSCInPort::portLabel() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return label_;
}

void OSCInPort::setPortLabel(const QString& label) {
  std::lock_guard<std::mutex> lock(mutex_);
  label_ = label;
}

QVariantMap OSCInPort::createSnapshot() const {
  return {{QStringLiteral("port"), port_.load()}, {QStringLiteral("portLabel"), portLabel()}};
}

void OSCInPort::prepareToBeDeleted() {
  deleted_.store(true);
  close();
}

bool OSCInPort::dispatchPacket(const void* data, std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!server_) return false;
  const lo_server server = lo_server_thread_get_server(server_->thread);
  return lo_server_dispatch_data(server, const_cast<void*>(data), size) >= 0;
}

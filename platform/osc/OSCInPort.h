#pragma once

#include "platform/osc/OSCMessage.h"

#include <QString>
#include <QVariantMap>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

// An OSC input port: a UDP port on every interface, served by its own liblo
// server thread, which hands every message (each message of a bundle in
// turn, at once whatever the bundle's time tag) to the receiver on that
// thread.
//
// A packet liblo cannot read (garbage, cut short, wrong type tags, a bundle
// whose sizes do not add up) is dropped with a rate-limited log line; the
// port goes on. The socket asks for a receive buffer of
// `kReceiveBufferBytes` (as much of it as the system grants; the size
// obtained is logged), so that a burst from a controller is not dropped by
// the kernel while the thread is busy. A port number that cannot be opened (out of 1..65535, taken,
// not permitted) leaves the port closed with `lastError` set: it stays in its
// manager's list, so the user's setting is not lost, and `setPort` can try
// again.
class OSCInPort {
 public:
  using Receiver = std::function<void(const OSCMessage&)>;

  OSCInPort(int port, QString label, Receiver receiver);
  ~OSCInPort();
  OSCInPort(const OSCInPort&) = delete;
  OSCInPort& operator=(const OSCInPort&) = delete;

  static constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

  static bool isValidPortNumber(long long port) { return port >= 1 && port <= 65535; }

  bool open();
  void close();
  bool isOpen() const;
  QString lastError() const;
  // The socket's receive buffer as the kernel reports it (0 while closed).
  int receiveBufferBytes() const;

  int port() const { return port_; }
  // Moves the port to another number: closes, then opens on the new one.
  bool setPort(int port);
  QString portLabel() const;
  void setPortLabel(const QString& label);

  // {"port": number, "portLabel": label}
  QVariantMap createSnapshot() const;

  // Closes the port for good; the owner calls it before letting the port go.
  void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

  // Hands a packet to the port's liblo dispatch as if it had arrived on the
  // socket; answers false when liblo refused it. The port must be open and
  // no other thread may be dispatching for it (benchmarks, tests).
  bool dispatchPacket(const void* data, std::size_t size);

 private:
  struct Server;  // the liblo server thread and its handlers

  std::atomic<int> port_;
  QString label_;
  const Receiver receiver_;
  std::atomic<bool> deleted_{false};

  mutable std::mutex mutex_;  // the server and the error text
  std::unique_ptr<Server> server_;
  QString lastError_;
};

#pragma once

#include "tests/support/Eventually.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A plain UDP socket on loopback for sending raw packets to, and receiving
// raw packets from, the OSC layer.
class UdpSocket {
 public:
  UdpSocket() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {}
  ~UdpSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Binds to a free loopback port (0) or the given one; answers the port, or 0.
  int bind(int port = 0) {
    sockaddr_in a = address(port);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return 0;
    socklen_t length = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
  }

  bool sendTo(int port, const QByteArray& packet) {
    sockaddr_in a = address(port);
    return ::sendto(fd_, packet.constData(), static_cast<size_t>(packet.size()), 0,
                    reinterpret_cast<sockaddr*>(&a), sizeof a) == packet.size();
  }

  // One datagram, or empty after the time-out.
  QByteArray receive(int timeoutMs = 2000) {
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    QByteArray buffer(70000, '\0');
    const ssize_t n = ::recv(fd_, buffer.data(), static_cast<size_t>(buffer.size()), 0);
    return n > 0 ? buffer.left(static_cast<int>(n)) : QByteArray();
  }

  int receiveBufferBytes() const {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    ::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, &length);
    return bytes;
  }

  // A port nobody listens on right now.
  static int freePort() {
    UdpSocket probe;
    return probe.bind();
  }

 private:
  static sockaddr_in address(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
  }
  int fd_;
};

#include "tests/support/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {
constexpr int kPollMs = 20;

void sendAll(int fd, const QByteArray& bytes) {
  qsizetype sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n =
        ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += n;
  }
}

QByteArray headerValue(const QByteArray& headers, const QByteArray& name) {
  for (const QByteArray& line : headers.split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
      return line.mid(colon + 1).trimmed();
  }
  return {};
}
}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("loopback server: cannot listen");
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stopping_ = true;
  thread_.join();
  ::close(listener_);
}

void LoopbackHttpServer::answer(int status, const QByteArray& body, const QByteArray& headers) {
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = status;
  body_ = body;
  headers_ = headers;
  silent_ = false;
}

void LoopbackHttpServer::neverAnswer() {
  std::lock_guard<std::mutex> lock(mutex_);
  silent_ = true;
}

QString LoopbackHttpServer::url(const QString& path) const {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

QList<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool LoopbackHttpServer::waitReadable(int fd) const {
  pollfd entry{fd, POLLIN, 0};
  while (!stopping_) {
    const int ready = ::poll(&entry, 1, kPollMs);
    if (ready > 0) return true;
    if (ready < 0) return false;
  }
  return false;
}

void LoopbackHttpServer::serve() {
  while (waitReadable(listener_)) {
    const int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    handle(client);
    ::close(client);
  }
}

bool LoopbackHttpServer::readRequest(int client, Request& request) {
  QByteArray data;
  char buffer[65536];
  qsizetype headerEnd = -1;
  qsizetype contentLength = 0;
  bool continued = false;
  while (headerEnd < 0 || data.size() < headerEnd + 4 + contentLength) {
    if (!waitReadable(client)) return false;
    const ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
    if (n <= 0) return false;
    data.append(buffer, n);
    if (headerEnd >= 0 || (headerEnd = data.indexOf("\r\n\r\n")) < 0) continue;
    request.headers = data.left(headerEnd);
    const QList<QByteArray> firstLine =
        request.headers.left(request.headers.indexOf('\r')).split(' ');
    request.method = firstLine.value(0);
    request.path = firstLine.value(1);
    contentLength = headerValue(request.headers, "Content-Length").toLongLong();
    if (!continued && headerValue(request.headers, "Expect").toLower() == "100-continue") {
      sendAll(client, "HTTP/1.1 100 Continue\r\n\r\n");
      continued = true;
    }
  }
  request.body = data.mid(headerEnd + 4, contentLength);
  return true;
}

void LoopbackHttpServer::handle(int client) {
  Request request;
  if (!readRequest(client, request)) return;
  int status;
  QByteArray body;
  QByteArray headers;
  bool silent;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_ << request;
    status = status_;
    body = QByteArray(body_.constData(), body_.size());  // unshared: the test thread may replace it
    headers = QByteArray(headers_.constData(), headers_.size());
    silent = silent_;
  }
  if (silent) {
    while (!stopping_) ::poll(nullptr, 0, kPollMs);
    return;
  }
  sendAll(client, QByteArray("HTTP/1.1 ") + QByteArray::number(status) +
                      " Status\r\nContent-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n" + headers + "\r\n" + body);
}

quint16 LoopbackHttpServer::closedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

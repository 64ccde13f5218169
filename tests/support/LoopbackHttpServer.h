#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// A tiny HTTP/1.1 server on 127.0.0.1 for tests: one connection at a time,
// every request recorded, each answered with the set status and body, or
// never answered at all (for time-out tests).
class LoopbackHttpServer {
 public:
  struct Request {
    QByteArray method;
    QByteArray path;
    QByteArray headers;  // the raw header block
    QByteArray body;
  };

  LoopbackHttpServer();
  ~LoopbackHttpServer();

  // `headers`: extra header lines, each ending in "\r\n".
  void answer(int status, const QByteArray& body, const QByteArray& headers = {});
  void neverAnswer();

  // A loopback port with nothing listening on it.
  static quint16 closedPort();

  quint16 port() const { return port_; }
  QString url(const QString& path = QStringLiteral("/")) const;
  QList<Request> requests() const;

 private:
  void serve();
  void handle(int client);
  bool readRequest(int client, Request& request);
  bool waitReadable(int fd) const;

  int listener_ = -1;
  quint16 port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  int status_ = 200;
  QByteArray body_;
  QByteArray headers_;
  bool silent_ = false;
  QList<Request> requests_;
  std::thread thread_;
};

#include "platform/osc/OSCOutPort.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"
#include "platform/osc/OSCLoCodec.h"

#include <lo/lo.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <climits>
#include <cmath>
#include <exception>
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
bool isPortNumber(int port) { return port >= 1 && port <= 65535; }
QString notAPortNumber(int port) {
  return QStringLiteral("%1 is not a port number (1 to 65535)").arg(port);
}
}  // namespace

struct OSCOutPort::Destination {
  std::mutex mutex;
  QString host;
  int port = 0;
  QString label;
  unsigned generation = 0;  // bumped by every change of host or port
  QString numericHost;      // empty until known
  lo_address address = nullptr;
  QString error;
  // The numeric host and port as a socket address, for sending packets.
  sockaddr_storage socketAddress{};
  socklen_t socketAddressLength = 0;
  int socket = -1;

  ~Destination() {
    if (address) lo_address_free(address);
    if (socket >= 0) ::close(socket);
  }
  void forgetAddress() {
    if (address) lo_address_free(std::exchange(address, nullptr));
    numericHost.clear();
    socketAddressLength = 0;
    ++generation;
  }
  // Called with the mutex held whenever the numeric host is known.
  void resolveSocketAddress() {
    socketAddressLength = 0;
    if (numericHost.isEmpty() || !isPortNumber(port)) return;
    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(numericHost.toUtf8().constData(), QByteArray::number(port).constData(),
                      &hints, &found) != 0 ||
        !found)
      return;
    if (found->ai_addrlen <= sizeof socketAddress) {
      const sa_family_t family = socketAddress.ss_family;
      std::memcpy(&socketAddress, found->ai_addr, found->ai_addrlen);
      socketAddressLength = found->ai_addrlen;
      if (socket >= 0 && family != socketAddress.ss_family) {
        ::close(socket);
        socket = -1;
      }
    }
    ::freeaddrinfo(found);
  }
};

namespace {
bool isNumericAddress(const QString& host) {
  const QByteArray text = host.toUtf8();
  unsigned char buffer[sizeof(in6_addr)];
  return ::inet_pton(AF_INET, text.constData(), buffer) == 1 ||
         ::inet_pton(AF_INET6, text.constData(), buffer) == 1;
}

QString lookUp(const QString& host, QString* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found);
  if (status != 0 || !found) {
    *error =
        QStringLiteral("unknown host %1: %2").arg(host, QString::fromUtf8(gai_strerror(status)));
    return {};
  }
  char numeric[NI_MAXHOST] = {};
  const int named = ::getnameinfo(found->ai_addr, found->ai_addrlen, numeric, sizeof numeric,
                                  nullptr, 0, NI_NUMERICHOST);
  ::freeaddrinfo(found);
  if (named != 0) {
    *error =
        QStringLiteral("unknown host %1: %2").arg(host, QString::fromUtf8(gai_strerror(named)));
    return {};
  }
  return QString::fromUtf8(numeric);
}
// Any stored number, held to the range of int (the conversion of a number
// beyond it is undefined); one out of 1..65535 is reported when sending.
int storedPort(double number) {
  if (std::isnan(number)) return 0;
  return static_cast<int>(std::clamp(std::round(number), double(INT_MIN), double(INT_MAX)));
}
}  // namespace

OSCOutPort::OSCOutPort(QString address, int port, QString label)
    : destination_(std::make_shared<Destination>()) {
  destination_->host = std::move(address);
  destination_->port = port;
  destination_->label = std::move(label);
  destinationChanged();
}

OSCOutPort::~OSCOutPort() = default;

void OSCOutPort::destinationChanged() {
  std::unique_lock<std::mutex> lock(destination_->mutex);
  destination_->forgetAddress();
  destination_->error.clear();
  const QString host = destination_->host;
  if (host.trimmed().isEmpty()) {
    destination_->error = QStringLiteral("no address given");
    return;
  }
  if (isNumericAddress(host)) {
    destination_->numericHost = host;
    destination_->resolveSocketAddress();
    return;
  }
  const unsigned generation = destination_->generation;
  lock.unlock();
  // The lookup may take seconds; it answers into the shared destination,
  // which outlives this port if need be.
  std::thread([destination = destination_, host, generation] {
    try {
      QString error;
      const QString numeric = lookUp(host, &error);
      std::lock_guard<std::mutex> guard(destination->mutex);
      if (destination->generation != generation) return;  // changed meanwhile
      destination->numericHost = numeric;
      destination->error = error;
      destination->resolveSocketAddress();
    } catch (const std::exception& e) {
      Log::line(QStringLiteral("\t\terr: caught exception looking up %1: %2").arg(host, e.what()));
    }
  }).detach();
}

QString OSCOutPort::addressString() const {
  std::lock_guard<std::mutex> lock(destination_->mutex);
  return destination_->host;
}

void OSCOutPort::setAddressString(const QString& address) {
  {
    std::lock_guard<std::mutex> lock(destination_->mutex);
    destination_->host = address;
  }
  destinationChanged();
}

int OSCOutPort::port() const {
  std::lock_guard<std::mutex> lock(destination_->mutex);
  return destination_->port;
}

void OSCOutPort::setPort(int port) {
  {
    std::lock_guard<std::mutex> lock(destination_->mutex);
    destination_->port = port;
  }
  destinationChanged();
}

QString OSCOutPort::portLabel() const {
  std::lock_guard<std::mutex> lock(destination_->mutex);
  return destination_->label;
}

void OSCOutPort::setPortLabel(const QString& label) {
  std::lock_guard<std::mutex> lock(destination_->mutex);
  destination_->label = label;
}

QString OSCOutPort::lastError() const {
  std::lock_guard<std::mutex> lock(destination_->mutex);
  return destination_->error;
}

bool OSCOutPort::destinationResolved() const {
  std::lock_guard<std::mutex> lock(destination_->mutex);
  return !destination_->numericHost.isEmpty();
}

bool OSCOutPort::sendThisBundle(const OSCBundle& bundle) {
  if (deleted_.load()) return false;
  if (bundle.isEmpty()) return true;
  lo_bundle packet = OSCLoCodec::toLo(bundle);
  const bool sent =
      send(QStringLiteral("bundle"), [packet](void* to) { return lo_send_bundle(to, packet); });
  lo_bundle_free_recursive(packet);
  return sent;
}

bool OSCOutPort::sendThisMessage(const OSCMessage& message) {
  if (deleted_.load()) return false;
  lo_message packet = OSCLoCodec::toLo(message);
  const QByteArray path = message.address().toUtf8();
  const bool sent = send(QStringLiteral("message"), [packet, &path](void* to) {
    return lo_send_message(to, path.constData(), packet);
  });
  lo_message_free(packet);
  return sent;
}

bool OSCOutPort::sendPacket(const char* data, std::size_t size) {
  if (deleted_.load()) return false;
  std::lock_guard<std::mutex> lock(destination_->mutex);
  Destination& d = *destination_;
  if (!isPortNumber(d.port)) {
    d.error = notAPortNumber(d.port);
  } else if (d.socketAddressLength == 0) {
    if (d.error.isEmpty()) return false;  // still looking the host up
  } else {
    if (d.socket < 0) d.socket = ::socket(d.socketAddress.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (d.socket >= 0 &&
        ::sendto(d.socket, data, size, 0, reinterpret_cast<const sockaddr*>(&d.socketAddress),
                 d.socketAddressLength) == static_cast<ssize_t>(size))
      return true;
    d.error = QString::fromLocal8Bit(std::strerror(errno));
  }
  Log::limited(QStringLiteral("osc-send-") + d.label,
               QStringLiteral("\t\terr: couldn't send OSC packet to %1:%2 (%3): %4")
                   .arg(d.host)
                   .arg(d.port)
                   .arg(d.label, d.error));
  return false;
}

bool OSCOutPort::send(const QString& what, const std::function<int(void*)>& sendWith) {
  std::lock_guard<std::mutex> lock(destination_->mutex);
  Destination& d = *destination_;
  if (!isPortNumber(d.port)) {
    d.error = notAPortNumber(d.port);
  } else if (d.numericHost.isEmpty()) {
    if (d.error.isEmpty()) return false;  // still looking the host up
  } else {
    if (!d.address)
      d.address = lo_address_new(d.numericHost.toUtf8().constData(),
                                 QByteArray::number(d.port).constData());
    if (d.address && sendWith(d.address) >= 0) {
      d.error.clear();
      return true;
    }
    d.error = d.address ? QString::fromUtf8(lo_address_errstr(d.address))
                        : QStringLiteral("not an address");
  }
  Log::limited(QStringLiteral("osc-send-") + d.label,
               QStringLiteral("\t\terr: couldn't send OSC %1 to %2:%3 (%4): %5")
                   .arg(what, d.host)
                   .arg(d.port)
                   .arg(d.label, d.error));
  return false;
}

QVariantMap OSCOutPort::createSnapshot() const {
  std::lock_guard<std::mutex> lock(destination_->mutex);
  return {{QStringLiteral("addressString"), destination_->host},
          {QStringLiteral("port"), destination_->port},
          {QStringLiteral("portLabel"), destination_->label}};
}

void OSCOutPort::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant address = snapshot.value(QStringLiteral("addressString"));
  if (address.typeId() == QMetaType::QString) setAddressString(address.toString());
  const QVariant port = snapshot.value(QStringLiteral("port"));
  if (VariantNumbers::isNumber(port)) setPort(storedPort(port.toDouble()));
  const QVariant label = snapshot.value(QStringLiteral("portLabel"));
  if (label.typeId() == QMetaType::QString) setPortLabel(label.toString());
}

void OSCOutPort::prepareToBeDeleted() { deleted_.store(true); }

QString OSCOutPort::description() const {
  return QStringLiteral("<OSCOutPort %1, %2:%3>").arg(portLabel(), addressString()).arg(port());
}

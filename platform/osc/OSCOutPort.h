#pragma once

#include "platform/osc/OSCBundle.h"
#include "platform/osc/OSCMessage.h"

#include <QString>
#include <QVariantMap>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

// An OSC output port: a destination (host name or address, UDP port) with
// the label the user knows it by. A bundle goes out as one packet.
//
// Sending may happen on any thread (the tick thread sends once per tick) and
// never waits for a name lookup: a host name is looked up on a thread of its
// own when it is set, and what is sent before the answer arrives is dropped.
// A failure is logged at a limited rate and answered false, never thrown.
class OSCOutPort {
 public:
  OSCOutPort(QString address, int port, QString label);
  virtual ~OSCOutPort();
  OSCOutPort(const OSCOutPort&) = delete;
  OSCOutPort& operator=(const OSCOutPort&) = delete;

  QString addressString() const;
  void setAddressString(const QString& address);
  int port() const;
  void setPort(int port);
  QString portLabel() const;
  virtual void setPortLabel(const QString& label);

  bool sendThisBundle(const OSCBundle& bundle);
  bool sendThisMessage(const OSCMessage& message);
  // Sends bytes already encoded as one OSC packet, with one sendto to the
  // destination looked up beforehand: nothing is allocated.
  bool sendPacket(const char* data, std::size_t size);
  QString lastError() const;
  // True once the destination's address is known (at once for a numeric
  // address, after the lookup for a host name).
  bool destinationResolved() const;

  // {"addressString", "port", "portLabel"}
  QVariantMap createSnapshot() const;
  // Applies the keys present with the right type; others change nothing.
  void loadSnapshot(const QVariantMap& snapshot);

  // Marks the port deleted; a deleted port sends nothing.
  virtual void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }

  virtual QString description() const;

 private:
  struct Destination;  // shared with the lookup thread
  void destinationChanged();
  bool send(const QString& what, const std::function<int(void*)>& sendWith);

  std::shared_ptr<Destination> destination_;
  std::atomic<bool> deleted_{false};
};

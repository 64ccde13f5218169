#pragma once

#include "framework/datasource/ExternalSynchObject.h"
#include "platform/osc/OSCFloatBundleWriter.h"

#include <QByteArray>

#include <memory>
#include <mutex>
#include <vector>

class OSCOutPort;

// The OSC output's queue and its pass, ticked by the data-source controller
// as an externally synchronised object: each pass writes what was queued
// since the last one into one bundle (several only past a datagram's size)
// and sends it through the port. Nothing is allocated once the queues and
// the bundle buffer have grown to a tick's size: messages queue by value
// (the encoded address is shared, not copied) in two vectors swapped under
// the queue lock. The port is an atomic shared pointer, so dropping it on
// the main thread never frees what a pass sends through.
class OSCOutputSender : public ExternalSynchObject {
 public:
  OSCOutputSender();

  void queue(const QByteArray& encodedAddress, float value);
  void setPort(std::shared_ptr<OSCOutPort> port);
  std::shared_ptr<OSCOutPort> port() const { return std::atomic_load(&port_); }
  // What is queued and not yet sent, as (address, value).
  std::vector<std::pair<QByteArray, float>> queued() const;

  // ExternalSynchObject: the pass.
  void DSCProc() override;
  void wasThisDataSourceDeletedOutFromUnderMe(const KeyPath&) override {}

 private:
  struct Message {
    QByteArray address;
    float value;
  };
  mutable std::mutex msgLock_;
  std::vector<Message> msgArray_;  // under msgLock_
  std::vector<Message> sending_;   // the tick thread only
  OSCFloatBundleWriter writer_;    // the tick thread only
  std::shared_ptr<OSCOutPort> port_;
  bool reportedSplit_ = false;
};

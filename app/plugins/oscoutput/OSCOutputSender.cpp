#include "app/plugins/oscoutput/OSCOutputSender.h"

#include "platform/foundation/Log.h"
#include "platform/osc/OSCOutPort.h"

namespace {
constexpr std::size_t kQueueCapacity = 512;
}

OSCOutputSender::OSCOutputSender() {
  msgArray_.reserve(kQueueCapacity);
  sending_.reserve(kQueueCapacity);
}

void OSCOutputSender::queue(const QByteArray& encodedAddress, float value) {
  std::lock_guard<std::mutex> lock(msgLock_);
  msgArray_.push_back({encodedAddress, value});
}

void OSCOutputSender::setPort(std::shared_ptr<OSCOutPort> port) {
  std::atomic_store(&port_, std::move(port));
}

std::vector<std::pair<QByteArray, float>> OSCOutputSender::queued() const {
  std::lock_guard<std::mutex> lock(msgLock_);
  std::vector<std::pair<QByteArray, float>> copy;
  for (const Message& message : msgArray_) copy.emplace_back(message.address, message.value);
  return copy;
}

void OSCOutputSender::DSCProc() {
  {
    std::lock_guard<std::mutex> lock(msgLock_);
    if (msgArray_.empty()) return;
    msgArray_.swap(sending_);
  }
  if (const std::shared_ptr<OSCOutPort> port = std::atomic_load(&port_)) {
    writer_.clear();
    for (const Message& message : sending_) writer_.addFloat(message.address, message.value);
    if (writer_.packetCount() > 1 && !reportedSplit_) {
      reportedSplit_ = true;
      Log::line(QStringLiteral("\t\terr: an OSC output's tick went out as %1 bundles: more than "
                               "one datagram holds")
                    .arg(writer_.packetCount()));
    }
    for (std::size_t i = 0; i < writer_.packetCount(); ++i)
      port->sendPacket(writer_.packetData(i), writer_.packetSize(i));
  }
  sending_.clear();
}

#include "app/shell/DedicatedSourceDetector.h"

#include "platform/foundation/MainThread.h"

#include <atomic>

DedicatedSourceDetector::DedicatedSourceDetector(QString notificationName, Found found)
    : found_(std::move(found)), observer_(this, std::move(notificationName)) {}

DedicatedSourceDetector::~DedicatedSourceDetector() { observer_.close(); }

bool DedicatedSourceDetector::startDetecting() {
  if (state_->listening) return false;
  const std::uint64_t session = ++state_->session;
  const std::weak_ptr<State> weak = state_;
  auto claimed = std::make_shared<std::atomic<bool>>(false);
  const bool on = observer_.turnOn([this, weak, session, claimed](const Notification& n) {
    if (claimed->exchange(true)) return;  // one detection a session
    MainThread::post([this, weak, session, userInfo = n.userInfo] {
      if (weak.lock()) detected(session, userInfo);  // alive: the detector is too
    });
  });
  state_->listening = on;
  return on;
}

void DedicatedSourceDetector::stopDetecting() {
  state_->listening = false;
  ++state_->session;
  observer_.turnOff();
}

void DedicatedSourceDetector::detected(std::uint64_t session, const QVariantMap& userInfo) {
  if (!state_->listening || state_->session != session) return;
  stopDetecting();
  found_(userInfo);
}

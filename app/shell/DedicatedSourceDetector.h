#pragma once

#include "platform/foundation/ObserverSwitch.h"

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>

// Listens for one detect notification ("QKMIDIDetectNotification" or
// "QKOSCDetectNotification") on behalf of an input preference pane: after
// `startDetecting`, the first notification of the session ends the listening
// and hands its user info to `found`. The notification arrives on an input
// thread; there only its user info is copied and queued, and everything
// else — ending the session, editing the tree, writing the defaults,
// reloading tables — runs on the main thread. Further notifications of the
// same session are dropped on the input thread, and one queued before a
// `stopDetecting` (or a later session) does nothing when it comes.
//
// Main thread, but for the delivery.
class DedicatedSourceDetector {
 public:
  using Found = std::function<void(const QVariantMap& userInfo)>;

  DedicatedSourceDetector(QString notificationName, Found found);
  ~DedicatedSourceDetector();
  DedicatedSourceDetector(const DedicatedSourceDetector&) = delete;
  DedicatedSourceDetector& operator=(const DedicatedSourceDetector&) = delete;

  // False, with nothing changed, while already listening.
  bool startDetecting();
  // Ends listening without creating anything.
  void stopDetecting();
  bool isDetecting() const { return state_->listening; }

 private:
  struct State {
    std::uint64_t session = 0;
    bool listening = false;
  };
  void detected(std::uint64_t session, const QVariantMap& userInfo);

  const Found found_;
  const std::shared_ptr<State> state_ = std::make_shared<State>();  // main thread
  ObserverSwitch observer_;
};

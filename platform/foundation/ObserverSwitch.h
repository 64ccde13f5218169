#pragma once

#include "platform/foundation/NotificationCenter.h"

#include <QString>

#include <atomic>
#include <mutex>

// One observation of one notification name that any thread may switch on and
// off, also a handler from inside its own delivery. Switching off removes the
// registration with no lock of the switch held: the removal waits for
// deliveries on other threads, and a handler there may be switching it off
// (or on) at the same moment.
//
// `close` switches off for good (an owner going away); later `turnOn` calls
// are refused.
class ObserverSwitch {
 public:
  ObserverSwitch(const void* observer, QString name);
  ~ObserverSwitch();
  ObserverSwitch(const ObserverSwitch&) = delete;
  ObserverSwitch& operator=(const ObserverSwitch&) = delete;

  // False when already on or closed.
  bool turnOn(NotificationCenter::Handler handler);
  // False when already off.
  bool turnOff();
  void close();
  bool isOn() const { return on_.load(); }

 private:
  const void* observer_;
  const QString name_;
  std::mutex mutex_;  // guards id_ and closed_; never held while removing
  NotificationCenter::ObserverId id_ = NotificationCenter::ObserverId::None;
  bool closed_ = false;
  std::atomic<bool> on_{false};
};

#include "platform/foundation/ObserverSwitch.h"

#include <utility>

ObserverSwitch::ObserverSwitch(const void* observer, QString name)
    : observer_(observer), name_(std::move(name)) {}

ObserverSwitch::~ObserverSwitch() { close(); }

bool ObserverSwitch::turnOn(NotificationCenter::Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_ || id_ != NotificationCenter::ObserverId::None) return false;
  // Adding never waits, so it may happen under the lock.
  id_ = NotificationCenter::defaultCenter().addObserver(observer_, name_, nullptr,
                                                        std::move(handler));
  on_ = true;
  return true;
}

bool ObserverSwitch::turnOff() {
  NotificationCenter::ObserverId id = NotificationCenter::ObserverId::None;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = std::exchange(id_, NotificationCenter::ObserverId::None);
    on_ = false;
  }
  if (id == NotificationCenter::ObserverId::None) return false;
  NotificationCenter::defaultCenter().removeObserver(id);  // waits, with no lock held
  return true;
}

void ObserverSwitch::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  turnOff();
}

#pragma once

#include "platform/foundation/NotificationCenter.h"

// The observations of one object, removed together when it calls `clear` or
// goes: an object that owns its observers as a member is never notified once
// destroyed (nor while its members are being destroyed, when it is declared
// last).
class NotificationObservers {
 public:
  explicit NotificationObservers(NotificationCenter& center = NotificationCenter::defaultCenter())
      : center_(center) {}
  ~NotificationObservers() { clear(); }
  NotificationObservers(const NotificationObservers&) = delete;
  NotificationObservers& operator=(const NotificationObservers&) = delete;

  // Observes `name` (empty: every name) from `object` (null: any object).
  void observe(const QString& name, const void* object, NotificationCenter::Handler handler) {
    center_.addObserver(this, name, object, std::move(handler));
  }
  void clear() { center_.removeObserver(this); }

 private:
  NotificationCenter& center_;
};

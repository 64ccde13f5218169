#pragma once

#include "platform/foundation/NotificationCenter.h"

#include <QString>

#include <mutex>
#include <vector>

// Counts posts of one notification name for the life of the object and
// keeps them, in the order they arrived.
class NotificationCounter {
 public:
  explicit NotificationCounter(const QString& name) {
    NotificationCenter::defaultCenter().addObserver(this, name, nullptr,
                                                    [this](const Notification& note) {
                                                      std::lock_guard<std::mutex> lock(mutex_);
                                                      notes_.push_back(note);
                                                    });
  }
  explicit NotificationCounter(const char* name) : NotificationCounter(QString::fromLatin1(name)) {}
  ~NotificationCounter() { NotificationCenter::defaultCenter().removeObserver(this); }
  NotificationCounter(const NotificationCounter&) = delete;
  NotificationCounter& operator=(const NotificationCounter&) = delete;

  int count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(notes_.size());
  }
  std::vector<Notification> notes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notes_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    notes_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Notification> notes_;
};

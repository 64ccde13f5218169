#pragma once

#include <mutex>

// How calls from other threads and later times (control actions, queued
// main-thread work) reach an object that may go first: they hold the link
// (a shared_ptr) and call through it; the object cuts it before it goes,
// waiting for a call under way, after which calls do nothing.
template <class T>
class CutLink {
 public:
  explicit CutLink(T* object) : object_(object) {}

  template <class F>
  void call(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (object_) f(*object_);
  }
  void cut() {
    std::lock_guard<std::mutex> lock(mutex_);
    object_ = nullptr;
  }

 private:
  std::mutex mutex_;
  T* object_;
};

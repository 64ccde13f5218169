#pragma once

#include "platform/threading/RWTryLock.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// An ordered array with its own reader/writer lock.
//
// The `lock…` operations take the lock for their own duration. For several
// reads in a row, a caller takes `rdlock()`, reads through `array()` and
// calls `unlock()`; every change goes through a `lock…` operation. The plain
// operations (`count`, `indexOfObject`, …) take no lock: the caller holds it
// or knows no other thread touches the array.
template <typename T>
class MutLockArray {
 public:
  using Function = std::function<void(const T&)>;

  void lockAddObject(T object) {
    RWTryLock::WriteGuard guard(lock_);
    if (guard.ownsLock()) items_.push_back(std::move(object));
  }

  void lockInsertObject(T object, std::size_t atIndex) {
    RWTryLock::WriteGuard guard(lock_);
    if (!guard.ownsLock()) return;
    atIndex = std::min(atIndex, items_.size());
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(atIndex), std::move(object));
  }

  // Removes every element equal to `object`.
  void lockRemoveObject(const T& object) {
    RWTryLock::WriteGuard guard(lock_);
    if (guard.ownsLock()) std::erase(items_, object);
  }

  // Removes every element that is this very object (pointer identity).
  template <typename P>
  void lockRemoveIdenticalPtr(const P* pointer) {
    RWTryLock::WriteGuard guard(lock_);
    if (!guard.ownsLock()) return;
    std::erase_if(items_, [pointer](const T& item) { return addressOf(item) == pointer; });
  }

  void lockRemoveObjectsAtIndexes(std::vector<std::size_t> indexes) {
    RWTryLock::WriteGuard guard(lock_);
    if (!guard.ownsLock()) return;
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
      if (*it < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(*it));
  }

  void lockRemoveAllObjects() {
    RWTryLock::WriteGuard guard(lock_);
    if (guard.ownsLock()) items_.clear();
  }

  std::optional<std::size_t> lockIndexOfObject(const T& object) {
    RWTryLock::ReadGuard guard(lock_);
    return indexOfObject(object);
  }

  // Empty when nothing is at the index.
  std::optional<T> lockObjectAtIndex(std::size_t index) {
    RWTryLock::ReadGuard guard(lock_);
    if (index >= items_.size()) return std::nullopt;
    return items_[index];
  }

  std::size_t lockCount() {
    RWTryLock::ReadGuard guard(lock_);
    return items_.size();
  }

  // Calls `function` on every element, in order, under the read lock (the
  // function may read the array again but must not change it).
  void lockMakeObjectsPerform(const Function& function) {
    RWTryLock::ReadGuard guard(lock_);
    for (const T& item : items_) function(item);
  }

  // A copy taken under the read lock, for walking without holding it.
  std::vector<T> lockCopy() {
    RWTryLock::ReadGuard guard(lock_);
    return items_;
  }

  void rdlock() { lock_.readLock(); }
  bool tryRdlock() { return lock_.tryReadLock(); }
  bool wrlock() { return lock_.writeLock(); }
  bool tryWrlock() { return lock_.tryWriteLock(); }
  void unlock() { lock_.unlock(); }

  // Valid only while the caller holds the lock.
  const std::vector<T>& array() const { return items_; }
  std::vector<T>& mutableArray() { return items_; }

  // Plain operations, without the lock.
  std::size_t count() const { return items_.size(); }
  std::optional<std::size_t> indexOfObject(const T& object) const {
    auto it = std::find(items_.begin(), items_.end(), object);
    if (it == items_.end()) return std::nullopt;
    return static_cast<std::size_t>(it - items_.begin());
  }
  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }
  void makeObjectsPerform(const Function& function) const {
    for (const T& item : items_) function(item);
  }
  void removeAllObjects() { items_.clear(); }

 private:
  template <typename U>
  static const void* addressOf(const std::shared_ptr<U>& p) {
    return p.get();
  }
  template <typename U>
  static const void* addressOf(U* p) {
    return p;
  }
  template <typename U>
  static const void* addressOf(const U& value) {
    return &value;
  }

  RWTryLock lock_;
  std::vector<T> items_;
};

#pragma once

#include "platform/threading/RWTryLock.h"

#include <functional>
#include <map>
#include <optional>

// A dictionary with its own reader/writer lock. The `lock…` operations take
// the lock for their own duration; `rdlock()` / `dict()` / `unlock()` give
// several reads in a row.
template <typename K, typename V>
class MutLockDict {
 public:
  std::optional<V> lockObjectForKey(const K& key) {
    RWTryLock::ReadGuard guard(lock_);
    auto it = items_.find(key);
    if (it == items_.end()) return std::nullopt;
    return it->second;
  }

  void lockSetObject(V object, const K& forKey) {
    RWTryLock::WriteGuard guard(lock_);
    if (guard.ownsLock()) items_.insert_or_assign(forKey, std::move(object));
  }

  void lockRemoveObjectForKey(const K& key) {
    RWTryLock::WriteGuard guard(lock_);
    if (guard.ownsLock()) items_.erase(key);
  }

  void lockRemoveAllObjects() {
    RWTryLock::WriteGuard guard(lock_);
    if (guard.ownsLock()) items_.clear();
  }

  std::size_t lockCount() {
    RWTryLock::ReadGuard guard(lock_);
    return items_.size();
  }

  void lockForEach(const std::function<void(const K&, const V&)>& function) {
    RWTryLock::ReadGuard guard(lock_);
    for (const auto& [key, value] : items_) function(key, value);
  }

  std::map<K, V> lockCopy() {
    RWTryLock::ReadGuard guard(lock_);
    return items_;
  }

  void rdlock() { lock_.readLock(); }
  void unlock() { lock_.unlock(); }
  // Valid only while the caller holds the lock.
  const std::map<K, V>& dict() const { return items_; }

 private:
  RWTryLock lock_;
  std::map<K, V> items_;
};

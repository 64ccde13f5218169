#pragma once

#include "platform/foundation/Notification.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Named notifications delivered synchronously on the posting thread, in the
// order the observers were added.
//
// An observer is identified by a pointer (usually `this`); it may observe a
// name (empty: every name) from one object (null: any object). Removing an
// observer is safe while a post is under way: once `removeObserver` returns,
// the observer's handlers are not running on another thread and will not be
// called again (a handler that removes its own observer returns normally).
//
// That makes `removeObserver` a wait: it waits for the removed handlers'
// deliveries on other threads to end. Never call it while holding a lock
// that one of those handlers may take (the delivering thread would wait for
// the lock, and the lock's holder for the delivery): release the lock first.
class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;
  // One registration made by addObserver, for removing just that one.
  enum class ObserverId : std::uint64_t { None = 0 };

  static NotificationCenter& defaultCenter();

  ObserverId addObserver(const void* observer, const QString& name, const void* object,
                         Handler handler);
  // Each waits for deliveries of what it removes on other threads to end.
  void removeObserver(const void* observer);
  void removeObserver(const void* observer, const QString& name, const void* object = nullptr);
  void removeObserver(ObserverId id);

  void post(const QString& name, void* object = nullptr, const QVariantMap& userInfo = {});
  // Whether a post of `name` would reach anyone: a poster whose user info is
  // costly to make (on an input thread, per message) can skip making it.
  bool hasObservers(const QString& name) const;
  // Changes whenever an observer is added or removed: a frequent poster may
  // keep the answer of hasObservers until it changes.
  std::uint64_t observerGeneration() const { return generation_.load(std::memory_order_acquire); }
  // Re-posts on the main thread without waiting (inline when already there).
  void postOnMainThread(const QString& name, void* object = nullptr,
                        const QVariantMap& userInfo = {});

 private:
  struct Entry;
  template <class Match>
  void removeMatching(Match match);
  void retire(const std::vector<std::shared_ptr<Entry>>& removed);

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Entry>> entries_;
  std::atomic<std::uint64_t> generation_{0};
  std::uint64_t nextId_ = 1;  // under mutex_
};

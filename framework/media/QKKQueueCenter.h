#pragma once

#include "platform/system/FileWatcher.h"
#include "platform/threading/MutLockArray.h"

#include <QString>

#include <memory>

class QKKQueueObserver;

// One shared file watcher with which any number of observers register
// paths, as with a notification centre. Every registration is its own
// entry (path, watch, observer at the same index): an observer registered
// twice for a path is called twice for a change, two observers once each.
// Observers are kept alive by their entries and called on the watch thread,
// with no lock of the centre held (so they may register and remove from
// the call); a change read just before a removal may still reach the
// removed observer once.
//
// Lock order: paths, then watches, then observers.
class QKKQueueCenter {
 public:
  // The shared centre, made on first use; it lives for the whole run.
  // Null (logged) when the system gives no watcher.
  static QKKQueueCenter* mainCenter();
  // A centre of its own (tests); null (logged) without a watcher.
  static std::unique_ptr<QKKQueueCenter> create();
  ~QKKQueueCenter();
  QKKQueueCenter(const QKKQueueCenter&) = delete;
  QKKQueueCenter& operator=(const QKKQueueCenter&) = delete;

  // Nothing unless both are given; a path that cannot be watched is logged.
  void addObserver(const std::shared_ptr<QKKQueueObserver>& observer, const QString& path);
  // Every entry of that very observer.
  void removeObserver(const QKKQueueObserver* observer);
  // Its entries for an equal path.
  void removeObserver(const QKKQueueObserver* observer, const QString& path);
  // Ends the watch thread at once and drops every entry.
  void stop();

  std::size_t entryCount() { return pathArray_.lockCount(); }

 private:
  QKKQueueCenter();
  void changed(int watchId, std::uint32_t flags);
  // Removes the entries `matches` picks (index → bool), all lists locked.
  template <typename Match>
  void removeEntries(Match matches);

  MutLockArray<QString> pathArray_;
  MutLockArray<int> fdArray_;
  MutLockArray<std::shared_ptr<QKKQueueObserver>> delegateArray_;
  std::unique_ptr<FileWatcher> watcher_;  // last: stopped before the rest goes
};

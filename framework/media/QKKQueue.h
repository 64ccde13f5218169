#pragma once

#include "platform/system/FileWatcher.h"
#include "platform/threading/MutLockArray.h"

#include <QString>

#include <memory>

class QKKQueueObserver;

// A file watcher with one delegate and its own list of paths (each watched
// once). The delegate is called on the watch thread; it is not kept alive
// by the watcher. `stop` (also run by the destructor) ends the watch thread
// at once and closes every watch.
//
// Lock order: the path list, then the watch list.
class QKKQueue {
 public:
  // Null (logged) when the system gives no watcher.
  static std::shared_ptr<QKKQueue> create();
  ~QKKQueue();
  QKKQueue(const QKKQueue&) = delete;
  QKKQueue& operator=(const QKKQueue&) = delete;

  // An empty path does nothing; a path already watched is ignored.
  void watchPath(const QString& path);
  void stopWatchingPath(const QString& path);
  void stopWatchingAllPaths();
  void setDelegate(std::weak_ptr<QKKQueueObserver> delegate);
  void stop();

  // The watched paths, in the order they were added.
  std::vector<QString> paths() { return pathArray_.lockCopy(); }

 private:
  QKKQueue();
  void changed(int watchId, std::uint32_t flags);

  MutLockArray<QString> pathArray_;
  MutLockArray<int> fdArray_;  // the watch of each path, at the same index
  std::mutex delegateMutex_;
  std::weak_ptr<QKKQueueObserver> delegate_;
  std::unique_ptr<FileWatcher> watcher_;  // last: stopped before the rest goes
};

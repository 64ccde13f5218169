#include "framework/media/QKKQueue.h"

#include "framework/media/QKKQueueObserver.h"
#include "platform/foundation/Log.h"

std::shared_ptr<QKKQueue> QKKQueue::create() {
  std::shared_ptr<QKKQueue> queue(new QKKQueue());
  if (queue->watcher_->isRunning()) return queue;
  Log::line(QStringLiteral("\t\terr creating kqueueFD: %1").arg(-queue->watcher_->startError()));
  return nullptr;
}

QKKQueue::QKKQueue()
    : watcher_(std::make_unique<FileWatcher>(
          [this](int watchId, std::uint32_t flags) { changed(watchId, flags); })) {}

QKKQueue::~QKKQueue() { stop(); }

void QKKQueue::stop() {
  watcher_->stop();
  stopWatchingAllPaths();
}

void QKKQueue::watchPath(const QString& path) {
  if (path.isEmpty()) return;
  const int watch = watcher_->addWatch(path);
  if (watch < 0) {
    Log::line(QStringLiteral("\t\terror opening rep. for path to watch"));
    return;
  }
  pathArray_.wrlock();
  fdArray_.wrlock();
  if (pathArray_.indexOfObject(path)) {
    watcher_->removeWatch(watch);
  } else {
    pathArray_.mutableArray().push_back(path);
    fdArray_.mutableArray().push_back(watch);
  }
  fdArray_.unlock();
  pathArray_.unlock();
}

void QKKQueue::stopWatchingPath(const QString& path) {
  if (path.isEmpty()) return;
  pathArray_.wrlock();
  fdArray_.wrlock();
  if (const std::optional<std::size_t> index = pathArray_.indexOfObject(path)) {
    auto& paths = pathArray_.mutableArray();
    auto& watches = fdArray_.mutableArray();
    watcher_->removeWatch(watches[*index]);
    paths.erase(paths.begin() + std::ptrdiff_t(*index));
    watches.erase(watches.begin() + std::ptrdiff_t(*index));
  }
  fdArray_.unlock();
  pathArray_.unlock();
}

void QKKQueue::stopWatchingAllPaths() {
  fdArray_.wrlock();
  for (int watch : fdArray_.array()) watcher_->removeWatch(watch);
  fdArray_.removeAllObjects();
  fdArray_.unlock();
  pathArray_.lockRemoveAllObjects();
}

void QKKQueue::setDelegate(std::weak_ptr<QKKQueueObserver> delegate) {
  std::lock_guard<std::mutex> lock(delegateMutex_);
  delegate_ = std::move(delegate);
}

void QKKQueue::changed(int watchId, std::uint32_t flags) {
  QString path;
  pathArray_.rdlock();
  fdArray_.rdlock();
  if (const std::optional<std::size_t> index = fdArray_.indexOfObject(watchId);
      index && *index < pathArray_.count())
    path = pathArray_.array()[*index];
  fdArray_.unlock();
  pathArray_.unlock();
  if (path.isEmpty()) return;
  std::shared_ptr<QKKQueueObserver> delegate;
  {
    std::lock_guard<std::mutex> lock(delegateMutex_);
    delegate = delegate_.lock();
  }
  if (delegate) delegate->file(path, flags);
}

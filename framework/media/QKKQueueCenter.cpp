#include "framework/media/QKKQueueCenter.h"

#include "framework/media/QKKQueueObserver.h"
#include "platform/foundation/Log.h"

QKKQueueCenter* QKKQueueCenter::mainCenter() {
  static QKKQueueCenter* const center = create().release();
  return center;
}

std::unique_ptr<QKKQueueCenter> QKKQueueCenter::create() {
  std::unique_ptr<QKKQueueCenter> center(new QKKQueueCenter());
  if (center->watcher_->isRunning()) return center;
  Log::line(
      QStringLiteral("\t\terr: couldn't create kqueueFD: %1").arg(-center->watcher_->startError()));
  return nullptr;
}

QKKQueueCenter::QKKQueueCenter()
    : watcher_(std::make_unique<FileWatcher>(
          [this](int watchId, std::uint32_t flags) { changed(watchId, flags); })) {}

QKKQueueCenter::~QKKQueueCenter() { stop(); }

void QKKQueueCenter::stop() {
  watcher_->stop();
  removeEntries([](std::size_t) { return true; });
}

void QKKQueueCenter::addObserver(const std::shared_ptr<QKKQueueObserver>& observer,
                                 const QString& path) {
  if (!observer || path.isEmpty()) return;
  QString error;
  const int watch = watcher_->addWatch(path, &error);
  if (watch < 0) {
    Log::line(QStringLiteral("\t\terror opening rep. for path to watch, %1 (%2: %3)")
                  .arg(QStringLiteral("-[QKKQueueCenter addObserver:forPath:]"), path, error));
    return;
  }
  pathArray_.wrlock();
  fdArray_.wrlock();
  delegateArray_.wrlock();
  pathArray_.mutableArray().push_back(path);
  fdArray_.mutableArray().push_back(watch);
  delegateArray_.mutableArray().push_back(observer);
  delegateArray_.unlock();
  fdArray_.unlock();
  pathArray_.unlock();
}

template <typename Match>
void QKKQueueCenter::removeEntries(Match matches) {
  std::vector<std::shared_ptr<QKKQueueObserver>> removed;  // released after the locks
  pathArray_.wrlock();
  fdArray_.wrlock();
  delegateArray_.wrlock();
  auto& paths = pathArray_.mutableArray();
  auto& watches = fdArray_.mutableArray();
  auto& observers = delegateArray_.mutableArray();
  for (std::size_t i = paths.size(); i-- > 0;) {
    if (!matches(i)) continue;
    watcher_->removeWatch(watches[i]);
    removed.push_back(std::move(observers[i]));
    paths.erase(paths.begin() + std::ptrdiff_t(i));
    watches.erase(watches.begin() + std::ptrdiff_t(i));
    observers.erase(observers.begin() + std::ptrdiff_t(i));
  }
  delegateArray_.unlock();
  fdArray_.unlock();
  pathArray_.unlock();
}

void QKKQueueCenter::removeObserver(const QKKQueueObserver* observer) {
  if (!observer) return;
  removeEntries([&](std::size_t i) { return delegateArray_.array()[i].get() == observer; });
}

void QKKQueueCenter::removeObserver(const QKKQueueObserver* observer, const QString& path) {
  if (!observer || path.isEmpty()) return;
  removeEntries([&](std::size_t i) {
    return delegateArray_.array()[i].get() == observer && pathArray_.array()[i] == path;
  });
}

void QKKQueueCenter::changed(int watchId, std::uint32_t flags) {
  QString path;
  std::shared_ptr<QKKQueueObserver> observer;
  pathArray_.rdlock();
  fdArray_.rdlock();
  delegateArray_.rdlock();
  if (const std::optional<std::size_t> index = fdArray_.indexOfObject(watchId);
      index && *index < pathArray_.count() && *index < delegateArray_.count()) {
    path = pathArray_.array()[*index];
    observer = delegateArray_.array()[*index];
  }
  delegateArray_.unlock();
  fdArray_.unlock();
  pathArray_.unlock();
  if (observer) observer->file(path, flags);
}

#include "platform/foundation/NotificationCenter.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

struct NotificationCenter::Entry {
  ObserverId id;
  const void* observer;
  QString name;
  const void* object;
  Handler handler;
  std::atomic<bool> alive{true};
  std::atomic<int> inFlight{0};
};

namespace {
// Entries whose handlers run on this thread right now (a handler may remove
// its own observer, which must not wait for itself).
thread_local std::vector<const void*> deliveringHere;
}  // namespace

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter center;
  return center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const void* observer,
                                                               const QString& name,
                                                               const void* object,
                                                               Handler handler) {
  auto entry = std::make_shared<Entry>();
  entry->observer = observer;
  entry->name = name;
  entry->object = object;
  entry->handler = std::move(handler);
  std::lock_guard<std::mutex> lock(mutex_);
  entry->id = static_cast<ObserverId>(nextId_++);
  const ObserverId id = entry->id;
  entries_.push_back(std::move(entry));
  generation_.fetch_add(1, std::memory_order_release);
  return id;
}

template <class Match>
void NotificationCenter::removeMatching(Match match) {
  std::vector<std::shared_ptr<Entry>> removed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::stable_partition(entries_.begin(), entries_.end(),
                                    [&](const auto& e) { return !match(*e); });
    removed.assign(it, entries_.end());
    entries_.erase(it, entries_.end());
    generation_.fetch_add(1, std::memory_order_release);
  }
  retire(removed);
}

void NotificationCenter::removeObserver(const void* observer) {
  removeMatching([observer](const Entry& e) { return e.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const QString& name,
                                        const void* object) {
  removeMatching([&](const Entry& e) {
    return e.observer == observer && (name.isEmpty() || e.name == name) &&
           (!object || e.object == object);
  });
}

void NotificationCenter::removeObserver(ObserverId id) {
  if (id == ObserverId::None) return;
  removeMatching([id](const Entry& e) { return e.id == id; });
}

void NotificationCenter::retire(const std::vector<std::shared_ptr<Entry>>& removed) {
  for (const auto& entry : removed) entry->alive.store(false);
  // Wait for deliveries on other threads to finish; a delivery on this
  // thread is our own caller and finishes after we return.
  for (const auto& entry : removed) {
    const int ownDeliveries =
        static_cast<int>(std::count(deliveringHere.begin(), deliveringHere.end(), entry.get()));
    while (entry->inFlight.load() > ownDeliveries) std::this_thread::yield();
  }
}

void NotificationCenter::post(const QString& name, void* object, const QVariantMap& userInfo) {
  std::vector<std::shared_ptr<Entry>> targets;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& e : entries_) {
      if ((e->name.isEmpty() || e->name == name) && (!e->object || e->object == object))
        targets.push_back(e);
    }
  }
  const Notification note{name, object, userInfo};
  for (const auto& entry : targets) {
    entry->inFlight.fetch_add(1);
    if (entry->alive.load()) {
      deliveringHere.push_back(entry.get());
      try {
        entry->handler(note);
      } catch (const std::exception& e) {
        Log::line(
            QStringLiteral("\t\terr: caught exception in observer of %1: %2").arg(name, e.what()));
      } catch (...) {
        Log::line(QStringLiteral("\t\terr: caught unknown exception in observer of %1").arg(name));
      }
      deliveringHere.pop_back();
    }
    entry->inFlight.fetch_sub(1);
  }
}

bool NotificationCenter::hasObservers(const QString& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const auto& e) { return e->name.isEmpty() || e->name == name; });
}

void NotificationCenter::postOnMainThread(const QString& name, void* object,
                                          const QVariantMap& userInfo) {
  MainThread::run([this, name, object, userInfo] { post(name, object, userInfo); });
}

#include "platform/foundation/MainThread.h"

#include "platform/foundation/HappensBefore.h"
#include "platform/foundation/Log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <exception>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace {

void runGuarded(const MainThread::Work& work) {
  try {
    if (work) work();
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\terr: caught exception on main thread: %1").arg(e.what()));
  } catch (...) {
    Log::line("\t\terr: caught unknown exception on main thread");
  }
}

// Work on its way to the main thread through Qt's event queue. Qt moves it
// once into the queued call it makes; each construction publishes the new
// address, and the call observes it before touching anything else, so
// ThreadSanitizer sees the ordering that Qt's own queue lock gives (Qt is
// not instrumented).
template <class Fn>
class HandedWork {
 public:
  explicit HandedWork(Fn fn) : fn_(std::move(fn)) { HappensBefore::publish(this); }
  HandedWork(HandedWork&& other) noexcept : fn_(std::move(other.fn_)) {
    HappensBefore::publish(this);
  }
  HandedWork(const HandedWork& other) : fn_(other.fn_) { HappensBefore::publish(this); }
  HandedWork& operator=(const HandedWork&) = delete;
  HandedWork& operator=(HandedWork&&) = delete;
  // A blocking call is destroyed by the waiting thread, after the main
  // thread ran it.
  ~HandedWork() { HappensBefore::observe(this); }

  void operator()() const {
    HappensBefore::observe(this);
    fn_();
    HappensBefore::publish(this);
  }

 private:
  Fn fn_;
};

QObject* mainContext() { return QCoreApplication::instance(); }

struct DelayedCalls {
  std::mutex mutex;
  // Generation per target: a delayed call runs only if its target's
  // generation has not moved on (cancel bumps it).
  std::unordered_map<const void*, unsigned long> generation;
  std::unordered_map<const void*, MainThread::Work> coalesced;
};

DelayedCalls& delayed() {
  static DelayedCalls calls;
  return calls;
}

}  // namespace

bool MainThread::isMainThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

void MainThread::run(Work work) {
  if (isMainThread()) {
    runGuarded(work);
    return;
  }
  post(std::move(work));
}

void MainThread::post(Work work) {
  QObject* context = mainContext();
  if (!context) {
    Log::line("\t\terr: no application: main-thread work dropped");
    return;
  }
  QMetaObject::invokeMethod(context, HandedWork([work = std::move(work)] { runGuarded(work); }),
                            Qt::QueuedConnection);
}

void MainThread::runAndWait(Work work) {
  if (isMainThread()) {
    runGuarded(work);
    return;
  }
  QObject* context = mainContext();
  if (!context) {
    Log::line("\t\terr: no application: main-thread work dropped");
    return;
  }
  // The work's writes happen before the caller goes on (Qt's semaphore is
  // as invisible to ThreadSanitizer as its queue).
  QMetaObject::invokeMethod(context, HandedWork([&work] {
                              runGuarded(work);
                              HappensBefore::publish(&work);
                            }),
                            Qt::BlockingQueuedConnection);
  HappensBefore::observe(&work);
}

void MainThread::runLater(const void* target, double delaySeconds, Work work) {
  unsigned long gen;
  {
    std::lock_guard<std::mutex> lock(delayed().mutex);
    gen = delayed().generation[target];
  }
  const int ms = delaySeconds <= 0 ? 0 : static_cast<int>(delaySeconds * 1000.0 + 0.5);
  post([target, gen, ms, work = std::move(work)] {
    QTimer::singleShot(ms, mainContext(), [target, gen, work] {
      {
        std::lock_guard<std::mutex> lock(delayed().mutex);
        auto it = delayed().generation.find(target);
        if (it == delayed().generation.end() || it->second != gen) return;
      }
      runGuarded(work);
    });
  });
}

void MainThread::cancel(const void* target) {
  std::lock_guard<std::mutex> lock(delayed().mutex);
  ++delayed().generation[target];
}

void MainThread::coalesce(const void* key, Work work) {
  {
    std::lock_guard<std::mutex> lock(delayed().mutex);
    auto [it, inserted] = delayed().coalesced.try_emplace(key, work);
    if (!inserted) {
      it->second = std::move(work);
      return;
    }
  }
  post([key] {
    Work latest;
    {
      std::lock_guard<std::mutex> lock(delayed().mutex);
      auto it = delayed().coalesced.find(key);
      if (it == delayed().coalesced.end()) return;
      latest = std::move(it->second);
      delayed().coalesced.erase(it);
    }
    runGuarded(latest);
  });
}

bool MainThread::processUntil(const std::function<bool()>& done, double timeoutSeconds) {
  QElapsedTimer timer;
  timer.start();
  const qint64 limit = static_cast<qint64>(timeoutSeconds * 1000.0);
  while (!done()) {
    if (timer.elapsed() > limit) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::sendPostedEvents();
    QThread::msleep(1);
  }
  return true;
}

#include "platform/gl/DisplayLink.h"

#include "platform/foundation/Log.h"

#include <exception>
#include <future>

namespace gl {

DisplayLink::DisplayLink(QString name) : name_(std::move(name)) {}

DisplayLink::~DisplayLink() { stop(); }

void DisplayLink::setCallback(Callback callback) { callback_ = std::move(callback); }

void DisplayLink::setRefreshRate(double hertz) {
  refreshRate_.store(hertz);
  wake_.notify_all();
}

void DisplayLink::setPaced(bool paced) {
  paced_.store(paced);
  wake_.notify_all();
}

bool DisplayLink::start(Hooks hooks) {
  if (running_.load() || thread_.joinable()) return false;
  stopping_.store(false);
  std::promise<bool> started;
  std::future<bool> answer = started.get_future();
  Hooks wrapped = std::move(hooks);
  std::function<bool()> threadStarted = std::move(wrapped.threadStarted);
  wrapped.threadStarted = [threadStarted, &started, this]() {
    bool ok = true;
    try {
      ok = !threadStarted || threadStarted();
    } catch (const std::exception& e) {
      Log::line(QStringLiteral("\t\tcaught exception while starting %1: %2").arg(name_, e.what()));
      ok = false;
    }
    running_.store(ok);
    started.set_value(ok);
    return ok;
  };
  thread_ = std::thread([this, wrapped] { threadMain(wrapped); });
  const bool ok = answer.get();
  if (!ok && thread_.joinable()) thread_.join();
  return ok;
}

void DisplayLink::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_.store(true);
  }
  wake_.notify_all();
  if (thread_.joinable() && !isLinkThread()) thread_.join();
}

bool DisplayLink::post(Task task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_.load() || stopping_.load()) return false;
    tasks_.push_back(std::move(task));
  }
  wake_.notify_all();
  return true;
}

bool DisplayLink::invokeAndWait(Task task) {
  if (isLinkThread()) {
    runGuarded(task, "task");
    return true;
  }
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  if (!post([task = std::move(task), done] {
        struct Signal {
          std::shared_ptr<std::promise<void>> promise;
          ~Signal() { promise->set_value(); }
        } signal{done};
        task();
      }))
    return false;
  finished.wait();
  return true;
}

bool DisplayLink::frameNow() {
  return invokeAndWait([this] { runFrame(FramePacer::Clock::now(), 0); });
}

void DisplayLink::runGuarded(const Task& task, const char* what) {
  try {
    task();
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\tcaught exception in %1 %2: %3").arg(name_, what, e.what()));
  } catch (...) {
    Log::line(QStringLiteral("\t\tcaught unknown exception in %1 %2").arg(name_, what));
  }
}

void DisplayLink::runFrame(FramePacer::TimePoint deadline, std::int64_t skipped) {
  if (!callback_) return;
  Frame frame{deadline, FramePacer::Clock::now(), skipped, frames_.load()};
  inFrame_.store(true);
  runGuarded([&] { callback_(frame); }, "callback");
  inFrame_.store(false);
  frames_.fetch_add(1);
}

void DisplayLink::threadMain(Hooks hooks) {
  threadId_.store(std::this_thread::get_id());
  if (!hooks.threadStarted()) {
    threadId_.store(std::thread::id());
    return;
  }
  FramePacer pacer(FramePacer::periodForRate(refreshRate_.load()));
  pacer.reset(FramePacer::Clock::now());
  std::int64_t skipped = 0;
  for (;;) {
    std::deque<Task> work;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      auto ready = [&] {
        return stopping_.load() || !tasks_.empty() ||
               (paced_.load() && pacer.isDue(FramePacer::Clock::now()));
      };
      if (paced_.load())
        wake_.wait_until(lock, pacer.deadline(), ready);
      else
        wake_.wait(lock, ready);
      work.swap(tasks_);
      if (stopping_.load() && work.empty()) break;
    }
    for (const Task& task : work) runGuarded(task, "task");
    if (stopping_.load()) continue;  // run what is still queued, then end
    if (!paced_.load()) {
      pacer.reset(FramePacer::Clock::now());
      continue;
    }
    if (!pacer.isDue(FramePacer::Clock::now())) continue;
    pacer.setPeriod(FramePacer::periodForRate(refreshRate_.load()));
    runFrame(pacer.deadline(), skipped);
    skipped = pacer.frameDone(FramePacer::Clock::now());
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_.store(false);
  }
  if (hooks.threadFinishing) runGuarded(hooks.threadFinishing, "shutdown");
  threadId_.store(std::thread::id());
}

}  // namespace gl

#include "platform/threading/QKThreadLoop.h"

#include "platform/foundation/Log.h"

#include <exception>

namespace {
// The loop whose procedure runs on this thread, if any: stop() called from
// the procedure must not touch the std::thread object, which the starting
// thread may still be writing.
thread_local const QKThreadLoop* loopOfThisThread = nullptr;
}  // namespace

QKThreadLoop::QKThreadLoop(double intervalSeconds, Procedure procedure, QString name)
    : interval_(intervalSeconds), procedure_(std::move(procedure)), name_(std::move(name)) {}

QKThreadLoop::~QKThreadLoop() {
  stop();
  join();
}

void QKThreadLoop::start() {
  if (running_.exchange(true)) return;
  join();  // a loop stopped from its own procedure left its thread to join
  thread_ = std::thread([this] { threadMain(); });
}

void QKThreadLoop::stop() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    running_.store(false);
  }
  wake_.notify_all();
  join();
}

void QKThreadLoop::join() {
  if (loopOfThisThread == this) return;  // from the procedure: joined later
  if (thread_.joinable()) thread_.join();
}

void QKThreadLoop::setInterval(double seconds) { interval_.store(seconds); }

void QKThreadLoop::threadMain() {
  loopOfThisThread = this;
  using Clock = std::chrono::steady_clock;
  auto next = Clock::now();
  while (running_.load()) {
    try {
      procedure_();
    } catch (const std::exception& e) {
      Log::line(QStringLiteral("caught exception in %1: %2").arg(name_, e.what()));
    } catch (...) {
      Log::line(QStringLiteral("caught unknown exception in %1").arg(name_));
    }
    calls_.fetch_add(1);

    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(interval_.load()));
    next += period;
    const auto now = Clock::now();
    if (next <= now && period.count() > 0) {
      // Late: skip the boundaries already passed instead of catching up.
      const auto behind = (now - next) / period + 1;
      next += behind * period;
    }
    std::unique_lock<std::mutex> lock(wakeMutex_);
    wake_.wait_until(lock, next, [this] { return !running_.load(); });
  }
}

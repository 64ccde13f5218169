#include "app/inspector/MISerialQueue.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/WorkerPool.h"

#include <chrono>
#include <exception>

struct MISerialQueue::State {
  std::mutex mutex;
  std::condition_variable idle;
  std::deque<std::shared_ptr<MIOperation>> waiting;
  bool draining = false;  // a pool task owns the queue
  bool running = false;   // an operation runs now
};

MISerialQueue::MISerialQueue(WorkerPool& pool) : pool_(pool), state_(std::make_shared<State>()) {}

MISerialQueue::~MISerialQueue() { cancelAllOperations(); }

bool MISerialQueue::addOperation(std::shared_ptr<MIOperation> operation) {
  if (!operation) return false;
  {
    std::lock_guard lock(state_->mutex);
    state_->waiting.push_back(std::move(operation));
    if (state_->draining) return true;
    state_->draining = true;
  }
  const std::shared_ptr<State> state = state_;
  if (pool_.post([state] { drain(state); })) return true;
  // The pool is full or shutting down: the operations wait for the next add.
  std::lock_guard lock(state_->mutex);
  state_->draining = false;
  Log::line(QStringLiteral("\t\terr: pre-roll queue: the worker pool refused the work; it waits"));
  return true;
}

void MISerialQueue::drain(const std::shared_ptr<State>& state) {
  for (;;) {
    std::shared_ptr<MIOperation> operation;
    {
      std::lock_guard lock(state->mutex);
      state->running = false;
      if (state->waiting.empty()) {
        state->draining = false;
        state->idle.notify_all();
        return;
      }
      operation = std::move(state->waiting.front());
      state->waiting.pop_front();
      state->running = true;
    }
    try {
      operation->main();
    } catch (const std::exception& error) {
      Log::line(QStringLiteral("\t\terr: pre-roll operation failed: %1")
                    .arg(QString::fromLocal8Bit(error.what())));
    } catch (...) {
      Log::line(QStringLiteral("\t\terr: pre-roll operation failed"));
    }
  }
}

void MISerialQueue::cancelAllOperations() {
  std::deque<std::shared_ptr<MIOperation>> dropped;
  {
    std::lock_guard lock(state_->mutex);
    dropped.swap(state_->waiting);
  }
}

std::size_t MISerialQueue::operationCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->waiting.size() + (state_->running ? 1 : 0);
}

bool MISerialQueue::waitUntilAllOperationsAreFinished(double seconds) {
  std::unique_lock lock(state_->mutex);
  return state_->idle.wait_for(lock, std::chrono::duration<double>(seconds),
                               [this] { return state_->waiting.empty() && !state_->draining; });
}

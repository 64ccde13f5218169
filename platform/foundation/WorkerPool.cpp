#include "platform/foundation/WorkerPool.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QString>

#include <algorithm>
#include <exception>

WorkerPool& WorkerPool::shared() {
  static WorkerPool pool(3, 64);
  return pool;
}

WorkerPool::WorkerPool(int threads, std::size_t capacity)
    : threadCount_(threads), capacity_(capacity) {}

// Under mutex_.
void WorkerPool::startThreads() {
  for (int i = 0; i < threadCount_; ++i) {
    threads_.emplace_back([this] { runWorker(); });
    ids_.push_back(threads_.back().get_id());
  }
}

WorkerPool::~WorkerPool() { shutdown(false); }

bool WorkerPool::post(Work work) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || queue_.size() >= capacity_) return false;
    if (threads_.empty()) startThreads();
    queue_.push_back(std::move(work));
  }
  wake_.notify_one();
  return true;
}

bool WorkerPool::isWorkerThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::find(ids_.begin(), ids_.end(), std::this_thread::get_id()) != ids_.end();
}

void WorkerPool::shutdown(bool serveMainThread) {
  std::deque<Work> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (threads_.empty()) return;
    stopping_ = true;
    dropped.swap(queue_);
  }
  wake_.notify_all();
  if (serveMainThread && MainThread::isMainThread())
    MainThread::processUntil(
        [this] {
          std::lock_guard<std::mutex> lock(mutex_);
          return busy_ == 0;
        },
        30.0);
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
  std::lock_guard<std::mutex> lock(mutex_);
  threads_.clear();
  ids_.clear();
  stopping_ = false;
}

void WorkerPool::runWorker() {
  for (;;) {
    Work work;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      work = std::move(queue_.front());
      queue_.pop_front();
      ++busy_;
    }
    try {
      work();
    } catch (const std::exception& e) {
      Log::line(QStringLiteral("\t\terr: worker task failed: %1").arg(QString::fromUtf8(e.what())));
    } catch (...) {
      Log::line(QStringLiteral("\t\terr: worker task failed"));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    --busy_;
  }
}

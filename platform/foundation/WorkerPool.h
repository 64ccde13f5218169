#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A few threads for the slow work a performer must never wait for on the
// main thread (movie loads, RAM reads, pre-rolls). The queue is bounded: a
// post past its capacity, or after shutdown, is refused and answers false.
// Work that throws is caught and logged. `shutdown` (at quit) lets the work
// under way finish, drops what is still queued and joins the threads (a
// later post starts them again); while
// it waits it keeps running the main thread's queued calls, so a worker
// waiting for the main thread still finishes.
class WorkerPool {
 public:
  using Work = std::function<void()>;

  // The program's pool (three threads, 64 queued tasks), started on first use.
  static WorkerPool& shared();

  WorkerPool(int threads, std::size_t capacity);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  bool post(Work work);
  void shutdown(bool serveMainThread = true);
  // Whether the calling thread is one of this pool's.
  bool isWorkerThread() const;

 private:
  void runWorker();
  void startThreads();

  const int threadCount_;
  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Work> queue_;
  std::vector<std::thread> threads_;
  std::vector<std::thread::id> ids_;
  bool stopping_ = false;
  int busy_ = 0;
};

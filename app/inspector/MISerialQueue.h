#pragma once

#include "app/inspector/MIOperation.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

class WorkerPool;

// Runs its operations in the order added, one at a time, on the shared
// worker pool (no thread of its own): while operations wait, one task of
// the pool drains them. The pool is joined at quit; operations still
// waiting then are dropped. Operations are added on any thread.
class MISerialQueue {
 public:
  explicit MISerialQueue(WorkerPool& pool);
  // Drops the waiting operations; one under way finishes on its own.
  ~MISerialQueue();
  MISerialQueue(const MISerialQueue&) = delete;
  MISerialQueue& operator=(const MISerialQueue&) = delete;

  // False (nothing queued) for a null operation.
  bool addOperation(std::shared_ptr<MIOperation> operation);
  void cancelAllOperations();
  std::size_t operationCount() const;
  // Waits until nothing waits or runs, at most `seconds`; answers whether so.
  bool waitUntilAllOperationsAreFinished(double seconds);

 private:
  struct State;
  static void drain(const std::shared_ptr<State>& state);

  WorkerPool& pool_;
  std::shared_ptr<State> state_;
};

#pragma once

#include "platform/foundation/DelayedCalls.h"

#include <cstdint>
#include <vector>

// Delayed calls on a clock that stands until the test moves it. `advance`
// runs the calls that fall due, in the order of their times (calls made for
// the same time in the order they were made), including calls they make
// that fall due within the same advance.
class ManualDelayedCalls : public DelayedCalls {
 public:
  void callLater(const void* key, double seconds, Work work) override;
  void cancel(const void* key) override;

  void advance(double seconds);
  double now() const { return now_; }
  int pendingCount() const { return static_cast<int>(pending_.size()); }

 private:
  struct Call {
    double due;
    uint64_t order;
    const void* key;
    Work work;
  };

  double now_ = 0.0;
  uint64_t nextOrder_ = 0;
  std::vector<Call> pending_;
};

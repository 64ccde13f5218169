#include "tests/support/ManualDelayedCalls.h"

#include <algorithm>

void ManualDelayedCalls::callLater(const void* key, double seconds, Work work) {
  pending_.push_back({now_ + std::max(0.0, seconds), nextOrder_++, key, std::move(work)});
}

void ManualDelayedCalls::cancel(const void* key) {
  std::erase_if(pending_, [key](const Call& call) { return call.key == key; });
}

void ManualDelayedCalls::advance(double seconds) {
  const double end = now_ + seconds;
  // A tolerance for sums of decimal delays (0.1 + 0.1 + 0.1 …).
  constexpr double kEpsilon = 1e-9;
  while (true) {
    auto next =
        std::min_element(pending_.begin(), pending_.end(), [](const Call& a, const Call& b) {
          return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
    if (next == pending_.end() || next->due > end + kEpsilon) break;
    now_ = std::max(now_, next->due);
    Work work = std::move(next->work);
    pending_.erase(next);
    work();
  }
  now_ = end;
}

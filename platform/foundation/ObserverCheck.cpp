#include "platform/foundation/ObserverCheck.h"

#include "platform/foundation/NotificationCenter.h"

bool ObserverCheck::anyone() const {
  NotificationCenter& center = NotificationCenter::defaultCenter();
  const std::uint64_t stamp = (center.observerGeneration() + 1) << 1;
  const std::uint64_t known = known_.load(std::memory_order_acquire);
  if ((known & ~std::uint64_t{1}) == stamp) return (known & 1) != 0;
  // Asked after reading the generation: a change in between moves the
  // generation on, so the next question asks again.
  const bool answer = center.hasObservers(name_);
  known_.store(stamp | (answer ? 1 : 0), std::memory_order_release);
  return answer;
}

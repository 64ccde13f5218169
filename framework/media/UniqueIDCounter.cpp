#include "framework/media/UniqueIDCounter.h"

#include <limits>

void UniqueIDCounter::recovered(long uniqueID) {
  if (uniqueID == std::numeric_limits<long>::max()) return;  // no ID above it
  long current = counter_.load();
  while (current <= uniqueID && !counter_.compare_exchange_weak(current, uniqueID + 1)) {
  }
}

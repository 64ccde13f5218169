#include "framework/controls/BehaviorChainInterface.h"

#include <atomic>

namespace {

std::uint64_t nextChainIdentity() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

BehaviorChainInterface::BehaviorChainInterface() : chainIdentity_(nextChainIdentity()) {}

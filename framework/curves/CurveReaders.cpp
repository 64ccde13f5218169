#include "framework/curves/CurveReaders.h"

#include "platform/foundation/Log.h"

#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<CurveReaders::Slot*> slots{nullptr};

long membarrier(int command) { return syscall(__NR_membarrier, command, 0, 0); }

// Registered once per process; false (readers then fence) where the kernel
// lacks the private expedited barrier.
bool barrierAvailable() {
  static const bool available = [] {
    const long commands = membarrier(MEMBARRIER_CMD_QUERY);
    const bool ok = commands >= 0 && (commands & MEMBARRIER_CMD_PRIVATE_EXPEDITED) &&
                    membarrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED) == 0;
    if (!ok) Log::line(QStringLiteral("Curves: no process-wide barrier, readers fence"));
    return ok;
  }();
  return available;
}

// Gives the slot back when its thread ends.
struct SlotRelease {
  CurveReaders::Slot* slot = nullptr;
  ~SlotRelease() {
    if (slot) slot->owned.store(false, std::memory_order_release);
  }
};

}  // namespace

CurveReaders::Slot* CurveReaders::claim() {
  // Before any read of this thread: a publisher that finds no barrier must
  // see readers fence from their first read on.
  if (!barrierAvailable()) readersFence_.store(true, std::memory_order_seq_cst);
  Slot* slot = nullptr;
  for (Slot* s = slots.load(std::memory_order_acquire); s && !slot; s = s->next) {
    bool free = false;
    if (s->owned.compare_exchange_strong(free, true, std::memory_order_acq_rel)) slot = s;
  }
  if (!slot) {
    slot = new Slot;  // once per thread that ever evaluates; never freed
    slot->owned.store(true, std::memory_order_relaxed);
    Slot* head = slots.load(std::memory_order_relaxed);
    do slot->next = head;
    while (!slots.compare_exchange_weak(head, slot, std::memory_order_release,
                                        std::memory_order_relaxed));
  }
  static thread_local SlotRelease release;
  release.slot = slot;
  mine_ = slot;
  return slot;
}

void CurveReaders::heavyFence() {
  if (barrierAvailable())
    membarrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED);
  else
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

CurveReaders::Inside CurveReaders::insideNow() {
  heavyFence();
  Inside inside;
  for (const Slot* s = slots.load(std::memory_order_acquire); s; s = s->next) {
    const std::uint32_t state = s->state.load(std::memory_order_acquire);
    if (state & 1u) inside.emplace_back(s, state);
  }
  return inside;
}

bool CurveReaders::allLeft(const Inside& inside) {
  for (const auto& [slot, state] : inside)
    if (slot->state.load(std::memory_order_acquire) == state) return false;
  return true;
}

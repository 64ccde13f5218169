#pragma once

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

// Which threads are reading a published curve right now, so that a curve
// frees a replaced copy only once no reader can still hold it (read-copy-
// update). Each thread that evaluates gets a slot of its own (made at its
// first evaluation, reused after it ends); a read costs two plain stores to
// it. The publisher pays instead: a process-wide barrier (membarrier) orders
// every running thread's slot store before its next pointer load, so a
// reader that may still hold a replaced copy is seen inside.
class CurveReaders {
 public:
  struct Slot {
    std::atomic<std::uint32_t> state{0};  // odd while a read is under way
    std::atomic<bool> owned{false};
    Slot* next = nullptr;
  };
  // A reader that was inside when a copy was replaced: its state then.
  using Inside = std::vector<std::pair<const Slot*, std::uint32_t>>;

  // The calling thread's slot.
  static Slot& mine() {
    Slot* slot = mine_;
    if (__builtin_expect(slot == nullptr, 0)) slot = claim();
    return *slot;
  }
  // Around a read of a published pointer; enter answers what leave takes.
  static std::uint32_t enter(Slot& slot) {
    const std::uint32_t state = slot.state.load(std::memory_order_relaxed) + 1;
#if defined(__SANITIZE_THREAD__)
    slot.state.store(state, std::memory_order_seq_cst);
#else
    slot.state.store(state, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (__builtin_expect(readersFence_.load(std::memory_order_relaxed), 0))
      std::atomic_thread_fence(std::memory_order_seq_cst);
#endif
    return state;
  }
  static void leave(Slot& slot, std::uint32_t state) {
    slot.state.store(state + 1, std::memory_order_release);
  }

  // Publisher's side, after replacing a pointer: the readers that may still
  // hold what it pointed to.
  static Inside insideNow();
  // Whether each of them has left the read it was in.
  static bool allLeft(const Inside& inside);

 private:
  static Slot* claim();
  static void heavyFence();

  [[gnu::tls_model("initial-exec")]] static inline thread_local Slot* mine_ = nullptr;
  // Set when the process-wide barrier is not available: readers fence.
  static inline std::atomic<bool> readersFence_{false};
};

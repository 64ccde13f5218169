#pragma once

#include <atomic>
#include <cstdint>

// Messages from audio IO threads, which may neither allocate nor wait: a
// fixed table of slots, one per message text (a string literal, compared by
// address), each counting how often it was noted and keeping the last two
// numbers. The main thread drains the table (`drain`, on a timer of the
// device registry) and logs one line per message noted since, with its
// count: repeats every cycle become one line a second.
class AudioThreadLog {
 public:
  static constexpr int kSlots = 32;

  // Audio thread: lock-free, allocation-free. `text` is a printf format with
  // at most two %ld, e.g. "\t\terror: %ld at audio device: %ld passing
  // audio to input". A full table drops the note.
  static void note(const char* text, long a = 0, long b = 0);
  // Main thread: logs and resets what was noted.
  static void drain();
  // How many notes of `text` wait to be drained (tests).
  static int pending(const char* text);

 private:
  struct Slot {
    std::atomic<const char*> text{nullptr};
    std::atomic<int> count{0};
    std::atomic<long> a{0};
    std::atomic<long> b{0};
  };
  static Slot slots_[kSlots];
};

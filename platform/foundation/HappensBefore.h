#pragma once

// Tells ThreadSanitizer about an ordering it cannot see: a hand-over through
// a library built without it (Qt's event queue and its blocking queued
// calls). `publish` on the handing thread before the hand-over and
// `observe` on the receiving thread when the handed work starts make
// everything written before the first happen before everything after the
// second, as the library's own locks really do. The token is any address
// both sides share for the hand-over. Outside a ThreadSanitizer build both
// are empty.
class HappensBefore {
 public:
  static void publish(const void* token);
  static void observe(const void* token);
};

#if defined(ZAPH_SANITIZE_THREAD)
extern "C" void __tsan_release(void* addr);
extern "C" void __tsan_acquire(void* addr);

inline void HappensBefore::publish(const void* token) { __tsan_release(const_cast<void*>(token)); }
inline void HappensBefore::observe(const void* token) { __tsan_acquire(const_cast<void*>(token)); }
#else
inline void HappensBefore::publish(const void*) {}
inline void HappensBefore::observe(const void*) {}
#endif

// Counts the allocations one thread makes between a start and a stop. Every
// allocation of the process goes through malloc (operator new and Qt's
// containers alike), so this header replaces malloc, calloc and realloc:
// include it in one source file of a benchmark program only. Under a
// sanitizer, whose allocator must stay in place, nothing is counted.

#pragma once

#include <cstddef>
#include <cstdlib>  // declared before they are replaced below

namespace bench {

inline thread_local bool countingAllocations = false;
inline thread_local long allocationsCounted = 0;

inline void startCountingAllocations() {
  allocationsCounted = 0;
  countingAllocations = true;
}

// The allocations made on this thread since the start.
inline long stopCountingAllocations() {
  countingAllocations = false;
  return allocationsCounted;
}

}  // namespace bench

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* malloc(std::size_t size) {
  if (bench::countingAllocations) ++bench::allocationsCounted;
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  if (bench::countingAllocations) ++bench::allocationsCounted;
  return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
  if (bench::countingAllocations) ++bench::allocationsCounted;
  return __libc_realloc(pointer, size);
}
}
#endif

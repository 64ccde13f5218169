#pragma once

#include <cstddef>
#include <memory>

// Lets the threads that deliver values read the data-source tree's published
// subscription lists and set calls with no lock and no count on the node.
//
// A thread reads published pointers only inside a `Reader` (nested readers
// cost a thread-local count; the tick opens one for its whole walk). A
// writer swaps the pointer, lets its own locks go and hands the old object to
// `retire`, which keeps it until every reader that might still see it has
// left. Whoever finds it free frees it: the retiring writer at once when no
// reader is inside, otherwise the last such reader on its way out (it only
// tries the collector's lock) or a later writer. Readers never wait.
//
// Epochs: a reader marks its thread with the epoch it entered in; the epoch
// moves on only when every reader inside entered in the current one, and an
// object retired in epoch E is freed once the epoch reaches E + 2.
class DeliveryEpoch {
 public:
  class Reader {
   public:
    Reader();
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
  };

  // Keeps `garbage` alive until no reader can still see it. Call with no
  // lock held that the garbage's destructor might take.
  static void retire(std::shared_ptr<const void> garbage);
  // Frees what no reader can see any more; answers how many objects still
  // wait.
  static std::size_t collect();

  DeliveryEpoch() = delete;
};

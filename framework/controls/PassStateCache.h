#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

// The states the behaviours of a slider's chain keep for that slider,
// cached in the slider, so that a pass finds each one without a search
// under the behaviour's shared lock. Each entry names its owner (a number
// no other owner ever gets) and the owner's version of its state list when
// the entry was taken: an owner whose list has changed since looks the
// state up again. The cache holds its own references, so a state removed
// by its owner meanwhile lives until the entry is replaced.
//
// Used only by the thread that passes the slider through its chain, with
// the slider's state lock held.
class PassStateCache {
 public:
  struct Entry {
    std::uint64_t owner = 0;
    std::uint64_t version = 0;
    std::shared_ptr<void> state;
  };

  Entry* find(std::uint64_t owner) {
    for (std::size_t i = 0; i < used_; ++i)
      if (entries_[i].owner == owner) return &entries_[i];
    return nullptr;
  }

  // Replaces the owner's entry or adds one; with every slot taken, the
  // slots are reused in turn (a state not cached is looked up in its map).
  // Never allocates.
  void store(std::uint64_t owner, std::uint64_t version, std::shared_ptr<void> state);

  void clear();
  std::size_t size() const { return used_; }

  // A number for a new owner, never given twice in a run.
  static std::uint64_t newOwner();

 private:
  static constexpr std::size_t kSlots = 4;
  std::array<Entry, kSlots> entries_{};
  std::size_t used_ = 0;
  std::size_t nextReused_ = 0;
};

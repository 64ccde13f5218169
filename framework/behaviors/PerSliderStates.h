#pragma once

#include "framework/controls/PassStateCache.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

// The state a behaviour keeps for each slider that passes through it,
// keyed by the slider's unique ID. The mutex is held only to look an entry
// up, insert or remove it: a pass works on its own reference to the entry,
// so a slider deleted on the main thread meanwhile never frees it under the
// pass. Looking up allocates nothing; an entry is made on a slider's first
// pass only. One slider's passes are serialised by that slider's state
// lock, so an entry's fields need no lock of their own.
//
// A pass finds the entry through the slider's own cache (`PassStateCache`),
// with no lock and no search of the map, while the map is unchanged since
// the slider last looked: every insertion and removal moves the version.
template <typename State>
class PerSliderStates {
 public:
  // A pass's hold on one slider's state: a plain pointer when the slider's
  // cache keeps the state alive, else a reference of its own.
  class Held {
   public:
    Held() = default;
    explicit Held(State* cached) : state_(cached) {}
    explicit Held(std::shared_ptr<State> owned) : owned_(std::move(owned)), state_(owned_.get()) {}
    State* get() const { return state_; }
    State* operator->() const { return state_; }
    State& operator*() const { return *state_; }
    explicit operator bool() const { return state_ != nullptr; }

   private:
    std::shared_ptr<State> owned_;
    State* state_ = nullptr;
  };

  std::shared_ptr<State> find(long sliderID) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = states_.find(sliderID);
    return it == states_.end() ? nullptr : it->second;
  }

  // The slider's state during its pass (null before its first pass).
  template <typename Slider>
  Held find(Slider& slider) const {
    PassStateCache* cache = slider.passStateCache();
    if (!cache) return Held(find(slider.uniqueID()));
    // Read before the lookup: a change in between leaves the entry stale.
    const std::uint64_t version = version_.load(std::memory_order_acquire);
    if (PassStateCache::Entry* entry = cache->find(owner_); entry && entry->version == version)
      return Held(static_cast<State*>(entry->state.get()));
    std::shared_ptr<State> state = find(slider.uniqueID());
    if (!state) return Held();
    cache->store(owner_, version, state);
    return Held(std::move(state));
  }

  void insert(long sliderID, std::shared_ptr<State> state) {
    std::lock_guard<std::mutex> lock(mutex_);
    states_.insert_or_assign(sliderID, std::move(state));
    version_.fetch_add(1, std::memory_order_release);
  }
  // The first pass of a slider: its state starts, unless the slider is on
  // its way out (its deletion may have been announced meanwhile, so the
  // entry is taken back once made).
  template <typename Slider>
  void start(const Slider& slider, std::shared_ptr<State> state) {
    if (slider.deleted()) return;
    insert(slider.uniqueID(), std::move(state));
    if (slider.deleted()) remove(slider.uniqueID());
  }
  void remove(long sliderID) {
    std::shared_ptr<State> dropped;  // freed after the lock is let go
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = states_.find(sliderID);
    if (it == states_.end()) return;
    dropped = std::move(it->second);
    states_.erase(it);
    version_.fetch_add(1, std::memory_order_release);
  }
  std::size_t size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return states_.size();
  }

 private:
  const std::uint64_t owner_ = PassStateCache::newOwner();
  mutable std::mutex mutex_;
  std::unordered_map<long, std::shared_ptr<State>> states_;
  std::atomic<std::uint64_t> version_{0};
};

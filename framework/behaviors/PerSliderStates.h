#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

// The state a behaviour keeps for each slider that passes through it,
// keyed by the slider's unique ID. The mutex is held only to look an entry
// up, insert or remove it: a pass works on its own reference to the entry,
// so a slider deleted on the main thread meanwhile never frees it under the
// pass. Looking up allocates nothing; an entry is made on a slider's first
// pass only. One slider's passes are serialised by that slider's state
// lock, so an entry's fields need no lock of their own.
template <typename State>
class PerSliderStates {
 public:
  std::shared_ptr<State> find(long sliderID) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = states_.find(sliderID);
    return it == states_.end() ? nullptr : it->second;
  }
  void insert(long sliderID, std::shared_ptr<State> state) {
    std::lock_guard<std::mutex> lock(mutex_);
    states_.insert_or_assign(sliderID, std::move(state));
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
  }
  std::size_t size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return states_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::unordered_map<long, std::shared_ptr<State>> states_;
};

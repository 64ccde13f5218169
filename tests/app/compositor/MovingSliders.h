#pragma once

#include "framework/controls/QKSliderCell.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// A tick thread that keeps moving every slider cell it was given, from 0 to
// 1 and over again, until stop() or the object goes. Cells may be added
// from the main thread while it runs.
class MovingSliders {
 public:
  MovingSliders()
      : thread_([this] {
          float value = 0;
          while (!done_.load()) {
            value = value > 1 ? 0 : value + 0.05f;
            for (const auto& cell : cells()) cell->setValue(value, true);
            std::this_thread::yield();
          }
        }) {}
  ~MovingSliders() { stop(); }
  MovingSliders(const MovingSliders&) = delete;
  MovingSliders& operator=(const MovingSliders&) = delete;

  void add(const QKSliderCell::Ptr& cell) {
    std::lock_guard<std::mutex> lock(mutex_);
    cells_.push_back(cell);
  }
  void stop() {
    done_.store(true);
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::vector<QKSliderCell::Ptr> cells() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cells_;
  }

  std::mutex mutex_;
  std::vector<QKSliderCell::Ptr> cells_;
  std::atomic<bool> done_{false};
  std::thread thread_;  // last: it starts once everything it reads is made
};

#pragma once

#include "framework/datasource/DSColorHolderDelegate.h"

#include <atomic>

// The wheel's colour as the tick reads it: three atomics the wheel writes on
// the main thread and a colour holder pulls on the tick thread.
class ColorWheelComponents : public DSColorHolderDelegate {
 public:
  void store(float r, float g, float b) {
    r_.store(r);
    g_.store(g);
    b_.store(b);
  }
  float rValForColorHolder(DSColorHolder*) override { return r_.load(); }
  float gValForColorHolder(DSColorHolder*) override { return g_.load(); }
  float bValForColorHolder(DSColorHolder*) override { return b_.load(); }

 private:
  std::atomic<float> r_{0.0f};
  std::atomic<float> g_{0.0f};
  std::atomic<float> b_{0.0f};
};

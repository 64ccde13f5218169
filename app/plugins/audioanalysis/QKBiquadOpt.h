#pragma once

#include <array>
#include <atomic>

// A bank of up to 128 band-pass filters: per slot five coefficients (b0, b1,
// b2, a1, a2, normalised by a0) and the held peak of the filtered signal
// since the consumer last took it. The main thread writes coefficients, the
// input IO thread reads them and raises the peaks, the consumer takes each
// peak with one exchange; every value is an atomic float, so a change
// reaches the audio thread whole, if perhaps in the middle of a block.
class QKBiquadOpt {
 public:
  static constexpr int kBandCount = 128;
  static constexpr int kBandPass = 2;

  // Every slot's coefficients and peak 0.
  QKBiquadOpt();

  // The constant-0-dB-peak band-pass of the audio EQ cookbook, bandwidth in
  // octaves: b0 = alpha/a0, b1 = 0, b2 = -alpha/a0, a1 = -2cos(w0)/a0,
  // a2 = (1 - alpha)/a0 with a0 = 1 + alpha.
  static void bandPassCoefficients(float frequency, float sampleRate, float bandwidth,
                                   float out[5]);

  // One slot (type 2, the band-pass, is the only type; the gain does not
  // enter the coefficients). A slot outside the bank is ignored.
  void setOptimizedBiquad(int slot, int type, float gain, float frequency, float sampleRate,
                          float bandwidth);
  // count slots from firstSlot at geometrically spaced centres from low to
  // high. A low frequency below 1 Hz (or NaN) changes nothing.
  void setOptimizedFilterArray(int firstSlot, int count, int type, float gain, float low,
                               float high, float sampleRate, float bandwidth);

  void coefficients(int slot, float out[5]) const;
  // The slot's centre frequency as last set (Hz), for tests and drawing.
  float centre(int slot) const { return centre_[std::size_t(slot)]; }
  // Audio thread: raises the held peak to `value` (already in its stored
  // scale) when it is higher.
  void raisePeak(int slot, float value);
  // Consumer: the held peak, reset to 0 in the same step.
  float takePeak(int slot) { return peak_[std::size_t(slot)].exchange(0.0f); }
  float peak(int slot) const { return peak_[std::size_t(slot)].load(); }

 private:
  std::array<std::atomic<float>, kBandCount> peak_;
  std::array<std::array<std::atomic<float>, 5>, kBandCount> coeffs_;
  std::array<float, kBandCount> centre_{};
};

// Raises `held` to `value` when it is higher (single producer, a consumer
// that exchanges it to 0).
inline void raiseHeldPeak(std::atomic<float>& held, float value) {
  float current = held.load(std::memory_order_relaxed);
  while (current < value &&
         !held.compare_exchange_weak(current, value, std::memory_order_relaxed)) {
  }
}

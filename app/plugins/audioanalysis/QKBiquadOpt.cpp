#include "app/plugins/audioanalysis/QKBiquadOpt.h"

#include <cmath>

QKBiquadOpt::QKBiquadOpt() {
  for (auto& peak : peak_) peak.store(0.0f);
  for (auto& slot : coeffs_)
    for (auto& c : slot) c.store(0.0f);
}

void QKBiquadOpt::bandPassCoefficients(float frequency, float sampleRate, float bandwidth,
                                       float out[5]) {
  const float w0 = 2.0f * float(M_PI) * frequency / sampleRate;
  const float s = std::sin(w0);
  const float c = std::cos(w0);
  const float alpha = float(s * std::sinh((std::log(2.0) / 2.0) * bandwidth * w0 / s));
  const float a0 = 1.0f + alpha;
  out[0] = alpha / a0;
  out[1] = 0.0f;
  out[2] = -alpha / a0;
  out[3] = -2.0f * c / a0;
  out[4] = (1.0f - alpha) / a0;
}

void QKBiquadOpt::setOptimizedBiquad(int slot, int type, float gain, float frequency,
                                     float sampleRate, float bandwidth) {
  (void)type;
  (void)gain;
  if (slot < 0 || slot >= kBandCount) return;
  float c[5];
  bandPassCoefficients(frequency, sampleRate, bandwidth, c);
  for (int i = 0; i < 5; ++i) coeffs_[std::size_t(slot)][std::size_t(i)].store(c[i]);
  centre_[std::size_t(slot)] = frequency;
}

void QKBiquadOpt::setOptimizedFilterArray(int firstSlot, int count, int type, float gain, float low,
                                          float high, float sampleRate, float bandwidth) {
  if (!(low >= 1.0f) || count <= 0) return;
  const float ratio =
      count > 1 ? float(std::pow(double(high) / double(low), 1.0 / double(count - 1))) : 1.0f;
  float frequency = low;
  for (int k = 0; k < count; ++k) {
    setOptimizedBiquad(firstSlot + k, type, gain, frequency, sampleRate, bandwidth);
    frequency *= ratio;
  }
}

void QKBiquadOpt::coefficients(int slot, float out[5]) const {
  for (int i = 0; i < 5; ++i)
    out[i] = coeffs_[std::size_t(slot)][std::size_t(i)].load(std::memory_order_relaxed);
}

void QKBiquadOpt::raisePeak(int slot, float value) {
  raiseHeldPeak(peak_[std::size_t(slot)], value);
}

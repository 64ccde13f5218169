#include "platform/audio/Dsp.h"

#include <cmath>

namespace Dsp {

void mixWeighted(const float* in, int frames, int channels, const float* weights, float* out) {
  if (channels == 1) {
    const float w = weights[0];
    for (int n = 0; n < frames; ++n) out[n] = in[n] * w;
    return;
  }
  if (channels == 2) {
    const float w0 = weights[0], w1 = weights[1];
    for (int n = 0; n < frames; ++n) out[n] = in[2 * n] * w0 + in[2 * n + 1] * w1;
    return;
  }
  for (int n = 0; n < frames; ++n) {
    const float* frame = in + std::size_t(n) * std::size_t(channels);
    float sum = 0;
    for (int c = 0; c < channels; ++c) sum += frame[c] * weights[c];
    out[n] = sum;
  }
}

void scale(float* x, int n, float factor) {
  for (int i = 0; i < n; ++i) x[i] *= factor;
}

float maxMagnitude(const float* x, int n) {
  float most = 0;
  for (int i = 0; i < n; ++i) most = std::fmax(most, std::fabs(x[i]));
  return most;
}

float biquadPeak(const float* x, int n, const float coeffs[5]) {
  const float b0 = coeffs[0], b1 = coeffs[1], b2 = coeffs[2], a1 = coeffs[3], a2 = coeffs[4];
  float y1 = 0, y2 = 0, most = 0;
  for (int i = 2; i < n; ++i) {
    const float y = b0 * x[i] + b1 * x[i - 1] + b2 * x[i - 2] - a1 * y1 - a2 * y2;
    y2 = y1;
    y1 = y;
    most = std::fmax(most, std::fabs(y));
  }
  return most;
}

void addStrided(const float* src, int srcStride, float* dst, int dstStride, int n) {
  for (int k = 0; k < n; ++k) dst[std::size_t(k) * dstStride] += src[std::size_t(k) * srcStride];
}

void clearStrided(float* x, int stride, int n) {
  for (int k = 0; k < n; ++k) x[std::size_t(k) * stride] = 0;
}

}  // namespace Dsp

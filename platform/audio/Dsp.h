#pragma once

#include <cstddef>

// The vector operations of the audio analysis, in plain C++ the compiler
// vectorises where the maths allows (the recursive filter cannot be).
namespace Dsp {

// out[n] = sum over c of in[n * channels + c] * weights[c].
void mixWeighted(const float* in, int frames, int channels, const float* weights, float* out);
void scale(float* x, int n, float factor);
// The largest |x[n]|; 0 for n <= 0.
float maxMagnitude(const float* x, int n);
// The largest |y[n]| of the second-order recursion
//   y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]
// for n = 2 .. n-1, started from rest (y[0] = y[1] = 0); coeffs holds b0,
// b1, b2, a1, a2. 0 for fewer than three samples.
float biquadPeak(const float* x, int n, const float coeffs[5]);
// dst[k * dstStride] += src[k * srcStride] for k < n.
void addStrided(const float* src, int srcStride, float* dst, int dstStride, int n);
// x[k * stride] = 0 for k < n.
void clearStrided(float* x, int stride, int n);

}  // namespace Dsp

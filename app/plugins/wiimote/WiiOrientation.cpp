#include "app/plugins/wiimote/WiiOrientation.h"

#include <cmath>

namespace WiiOrientation {

namespace {

// π taken as 3.141569, over 180, as the remote's readings were always
// turned into degrees.
constexpr float kRadiansPerDegree = 0.01745316111111111f;

float arctangentDegrees(float n, float d) {
  float q = n / d;
  if (std::isnan(q)) q = 0.0f;
  float a = std::atan(q);
  if (std::isnan(a)) a = 0.0f;
  return a / kRadiansPerDegree;
}

}  // namespace

float halfPlaneAngle(float n, float d) {
  const float a = arctangentDegrees(n, d);
  if (n >= 0.0f) return d < 0.0f ? -a : 180.0f - a;
  return d >= 0.0f ? 180.0f - a : 360.0f - a;
}

float rollAngle(float z, float x) {
  const float a = arctangentDegrees(z, x);
  return x >= 0.0f ? 90.0f - a : 270.0f - a;
}

float shape(float angle, const AxisOptions& options) {
  float v = angle / 360.0f + options.offset;
  if (v > 1.0f) v -= 1.0f;
  if (options.invert) v = 1.0f - v;
  const float low = options.clipLow, high = options.clipHigh;
  if (!(high > low)) return 0.0f;  // an empty range would divide by zero
  if (v > high) v = high;
  if (v < low) v = low;
  return (v - low) / (high - low);
}

float Smoother::push(float value) {
  values_[next_] = value;
  next_ = (next_ + 1) % kCount;
  if (size_ < kCount) ++size_;
  float sum = 0.0f;
  for (int i = 0; i < size_; ++i) sum += values_[i];
  return sum / float(size_);
}

std::array<float, 3> compute(float x, float y, float z, const Options& options,
                             std::array<Smoother, 3>* smoothers) {
  const float cx = 2.0f * (x - 0.5f);
  const float cy = 2.0f * (y - 0.5f);
  const float cz = 2.0f * (z - 0.5f);
  std::array<float, 3> result{};
  result[Pitch] = shape(halfPlaneAngle(cz, cy), options[Pitch]);
  result[Yaw] = shape(halfPlaneAngle(cx, cy), options[Yaw]);
  result[Roll] = shape(rollAngle(cz, cx), options[Roll]);
  if (smoothers)
    for (int axis = 0; axis < 3; ++axis) result[axis] = (*smoothers)[axis].push(result[axis]);
  return result;
}

}  // namespace WiiOrientation

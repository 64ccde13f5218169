#pragma once

#include <array>

// The orientation of a Wii remote or nunchuk from its three accelerations:
// pitch, roll and yaw as angles of the centred readings, each shaped by the
// performer's options into 0..1, the remote's smoothed over its last five
// reports. Pure arithmetic in single precision, allocating nothing.
namespace WiiOrientation {

enum Axis { Pitch = 0, Roll = 1, Yaw = 2 };

struct AxisOptions {
  float offset = 0.0f;
  float clipLow = 0.0f;
  float clipHigh = 1.0f;
  bool invert = false;
  bool operator==(const AxisOptions&) const = default;
};
using Options = std::array<AxisOptions, 3>;  // by Axis

// The angle in degrees of the pair (n, d): pitch and yaw by the half-plane
// rule, roll by the roll rule.
float halfPlaneAngle(float n, float d);
float rollAngle(float z, float x);
// An angle as a fraction of a turn, offset, inverted and clipped; 0 when
// the clip range is empty (high ≤ low).
float shape(float angle, const AxisOptions& options);

// The mean of the last five values pushed (fewer at the start): a fixed
// ring, no allocation.
class Smoother {
 public:
  static constexpr int kCount = 5;
  float push(float value);
  int size() const { return size_; }

 private:
  std::array<float, kCount> values_{};
  int next_ = 0;
  int size_ = 0;
};

// Pitch, roll and yaw (by Axis) from accelerations in 0..1 (0.5 at rest),
// shaped with `options`; smoothed when `smoothers` is given.
std::array<float, 3> compute(float x, float y, float z, const Options& options,
                             std::array<Smoother, 3>* smoothers);

}  // namespace WiiOrientation

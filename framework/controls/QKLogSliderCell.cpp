#include "framework/controls/QKLogSliderCell.h"

#include <cmath>

namespace {

// The operands are formed in single precision, the powers and logarithms
// taken in double precision.
double power(float base, double exponent) { return std::pow(static_cast<double>(base), exponent); }
double logOf(float operand) { return std::log(static_cast<double>(operand)); }

bool twoSided(float minRange) { return minRange < 0.0f; }

// Whether the forward mapping has a real power for every n in 0..1.
bool logFormDefined(float minRange, float maxRange) {
  if (twoSided(minRange)) return 1.0f + maxRange > 0.0f;
  return 1.0f + maxRange - minRange > 0.0f;
}

}  // namespace

std::shared_ptr<QKLogSliderCell> QKLogSliderCell::create() { return createCell<QKLogSliderCell>(); }

QKSliderCell::Ptr QKLogSliderCell::createEmptyOfSameKind() const { return create(); }

float QKLogSliderCell::rangedFromNormalised(float normalised) const {
  return logRangedFromNormalised(normalised, minRange(), maxRange());
}

float QKLogSliderCell::normalisedFromRanged(float ranged) const {
  return logNormalisedFromRanged(ranged, minRange(), maxRange());
}

float QKLogSliderCell::logRangedFromNormalised(float n, float minRange, float maxRange) {
  if (!logFormDefined(minRange, maxRange)) return linearRangedFromNormalised(n, minRange, maxRange);
  const double nd = n;
  if (!twoSided(minRange))
    return static_cast<float>(power(1.0f + maxRange - minRange, nd) - 1.0 + minRange);
  if (n < 0.5f) return static_cast<float>(1.0 - power(1.0f - minRange, 1.0 - 2.0 * nd));
  return static_cast<float>(power(1.0f + maxRange, 2.0 * nd - 1.0) - 1.0);
}

float QKLogSliderCell::logNormalisedFromRanged(float r, float minRange, float maxRange) {
  if (std::isnan(r)) return r;  // not a number: the setters ignore it
  if (!logFormDefined(minRange, maxRange)) return linearNormalisedFromRanged(r, minRange, maxRange);
  double n;
  if (!twoSided(minRange)) {
    const double span = logOf(1.0f + maxRange - minRange);
    if (span == 0.0) return 0.0f;
    n = logOf(1.0f + r - minRange) / span;
  } else if (r < 0.0f) {
    n = 0.5 - logOf(1.0f - r) / (2.0 * logOf(1.0f - minRange));
  } else {
    const double upper = logOf(1.0f + maxRange);
    if (upper == 0.0) return 0.5f;
    n = 0.5 + logOf(1.0f + r) / (2.0 * upper);
  }
  if (std::isfinite(n)) return static_cast<float>(n);
  const float atBottom = logRangedFromNormalised(0.0f, minRange, maxRange);
  const float atTop = logRangedFromNormalised(1.0f, minRange, maxRange);
  return std::fabs(r - atBottom) <= std::fabs(r - atTop) ? 0.0f : 1.0f;
}

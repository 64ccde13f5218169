#pragma once

#include "framework/controls/QKSliderCell.h"

// A slider whose ranged value grows exponentially along the track, so that
// small values get most of the travel. Only the mapping between the
// normalised value (what the slider stores, draws and outputs) and the
// ranged value (what the owner reads and writes) differs from the plain
// slider; the fill keeps the linear mapping.
//
// With a lower range end of 0 or more the mapping is one-sided:
//   ranged = (1 + max - min)^n - 1 + min.
// With a negative lower end it is two-sided, 0 in the middle of the track:
//   n < 0.5:  ranged = 1 - (1 - min)^(1 - 2n)
//   n >= 0.5: ranged = (1 + max)^(2n - 1) - 1.
// Degenerate ranges get defined results instead of infinities or NaN:
// - where a power's base is not above 0 (a one-sided range whose upper end
//   lies 1 or more below its lower end; a two-sided range whose upper end is
//   -1 or less), the linear mapping of the plain slider is used;
// - the inverse of a flat one-sided range (equal ends) is 0, as in the plain
//   slider;
// - in a two-sided range whose upper end is 0, every ranged value from 0 up
//   maps to the middle of the track;
// - a ranged value the logarithm cannot take (too far outside the range)
//   maps to the end of the track whose ranged value is nearer; NaN stays
//   NaN, which every setter ignores.
class QKLogSliderCell : public QKSliderCell {
 public:
  static std::shared_ptr<QKLogSliderCell> create();

  // The inverse and the forward mapping of this slider's range.
  float valueForRangedValue(float ranged) const { return normalisedFromRanged(ranged); }
  float rangedValueForValue(float normalised) const { return rangedFromNormalised(normalised); }

  // The mapping for any range.
  static float logRangedFromNormalised(float normalised, float minRange, float maxRange);
  static float logNormalisedFromRanged(float ranged, float minRange, float maxRange);

 protected:
  QKLogSliderCell() = default;
  friend class QKSliderCell;

  QKSliderCell::Ptr createEmptyOfSameKind() const override;
  float rangedFromNormalised(float normalised) const override;
  float normalisedFromRanged(float ranged) const override;
};

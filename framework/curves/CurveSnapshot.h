#pragma once

#include "framework/curves/QKQuadraticSpline.h"

#include <QString>
#include <QVariantMap>

#include <optional>
#include <vector>

// A curve snapshot (or curve file) read and checked before any of it is
// used: the offsets and amplitude present must be finite numbers (integers
// count), "splineSnapsArray" an array of segment dictionaries whose values
// are finite numbers and whose segments, once read, form a curve. Absent
// keys stay absent; unknown keys are ignored.
class CurveSnapshot {
 public:
  static const QString kHOffset;           // "hOffset"
  static const QString kVOffset;           // "vOffset"
  static const QString kAmplitude;         // "amplitude"
  static const QString kSplineSnapsArray;  // "splineSnapsArray"

  // Junction and end coordinates this close count as equal (files written
  // from single-precision values come back a little off).
  static constexpr double kTolerance = 1e-6;

  std::optional<float> hOffset;
  std::optional<float> vOffset;
  std::optional<float> amplitude;
  std::optional<std::vector<QKQuadraticSpline>> segments;

  // The snapshot read; empty with `reason` set when any part is invalid.
  static std::optional<CurveSnapshot> parse(const QVariantMap& snapshot, QString* reason);

  // Whether `segments` form a curve: at least one; the first starting at
  // x = 0 and the last ending at x = 1; each running forwards (x0 < x2);
  // each starting at the point where the one before ends; every number
  // finite. Coordinates within kTolerance are made exactly equal. Answers
  // the reason when they do not (and leaves them as given).
  static QString checkSegments(std::vector<QKQuadraticSpline>& segments);
};

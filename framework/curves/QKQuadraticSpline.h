#pragma once

#include <QVariantMap>

#include <array>

// One segment of a curve: a start point, a control point and an end point.
// The end points are (phase, raw value); the control point's x is a
// fraction of the segment's width and its y is absolute. Without its
// control point the segment is the straight line from start to end; with it,
// it bends through the control point. A plain value: the curve that holds
// it guards it.
class QKQuadraticSpline {
 public:
  struct Point {
    float x = 0.0f;
    float y = 0.0f;
    bool operator==(const Point&) const = default;
  };

  // Snapshot keys.
  static const QString kCp0X, kCp0Y, kCp1X, kCp1Y, kCp2X, kCp2Y;
  static const QString kUseControlPoint;  // "useControlPoint"

  // (0, 0) to (1, 1), control point (0, 0) not in use, tags 0.
  QKQuadraticSpline();
  // Start, control and end point; the control point is not in use.
  QKQuadraticSpline(Point start, Point control, Point end);
  // The defaults, then `loadSnapshot`.
  explicit QKQuadraticSpline(const QVariantMap& snapshot);

  // "cp0.x" … "cp2.y" (reals) and "useControlPoint" (boolean).
  QVariantMap createSnapshot() const;
  // Sets the keys present whose values are numbers (a boolean, or a number,
  // for "useControlPoint"); other keys change nothing.
  void loadSnapshot(const QVariantMap& snapshot);

  // Index 0 start, 1 control, 2 end; other indexes are ignored on writes and
  // read as (0, 0) (points) or -1 (tags).
  void setControlPoint(int index, Point point);
  Point getControlPointAtIndex(int index) const;
  void setTrackingPoint(int index, int tag);
  int getTrackingPointAtIndex(int index) const;

  bool useControlPoint() const { return useControlPoint_; }
  void setUseControlPoint(bool use) { useControlPoint_ = use; }

  Point start() const { return cp_[0]; }
  Point control() const { return cp_[1]; }
  Point end() const { return cp_[2]; }
  // The control point in curve coordinates: x0 + |x2 − x0| × its x, its y.
  Point absoluteControlPoint() const;

  bool operator==(const QKQuadraticSpline& other) const {
    return cp_ == other.cp_ && useControlPoint_ == other.useControlPoint_;
  }

 private:
  std::array<Point, 3> cp_;
  std::array<int, 3> trackingTags_{0, 0, 0};
  bool useControlPoint_ = false;
};

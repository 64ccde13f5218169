#pragma once

#include "framework/curves/CurveCursor.h"
#include "framework/curves/CurveMath.h"
#include "framework/curves/PublishedCurve.h"
#include "framework/curves/QKQuadraticSpline.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QVariantMap>

#include <atomic>
#include <bit>
#include <cstdint>
#include <mutex>
#include <vector>

class CurveSnapshot;

// A curve: segments laid end to end over phases 0..1, with a phase offset,
// a vertical offset and an amplitude on top, mapping a phase to a value in
// 0..1. It evaluates from any thread, persists as snapshots and as named
// curve files (CurveFiles), builds the paths its editors draw and carries
// the mouse-editing protocol they forward their events to.
//
// Coordinates of the editing protocol and the paths are the editor's, with
// y growing upwards: a raw value y sits at (vOffset + amplitude × y) × H and
// a phase x at the wrapped position of hOffset + x, times W, (W, H) being the
// size of `bounds`.
//
// Threads: `evaluateAt` may be called from any thread; it reads the
// published copy of the curve (PublishedCurve), never waits on an edit and
// never allocates. Every change of the segments, offsets and amplitude takes
// `splineLock_` for its few writes and publishes before letting it go, so an
// evaluation sees the curve before or after each edit. Snapshots, files,
// point editing and the accessors may be used from any thread. The mouse
// protocol (clicks, drags, cursor choice, the tracking squares' hover) runs
// on the main thread; its selection state is the main thread's.
class QKSingleSpline {
 public:
  QKSingleSpline();
  ~QKSingleSpline();
  QKSingleSpline(const QKSingleSpline&) = delete;
  QKSingleSpline& operator=(const QKSingleSpline&) = delete;

  // Afterwards no tracking squares are installed.
  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }

  // --- Snapshots and files ------------------------------------------------------------
  // "hOffset", "vOffset", "amplitude" and, with at least one segment,
  // "splineSnapsArray".
  QVariantMap createSnapshot() const;
  // Present keys are stored as found (no setter limits); "splineSnapsArray"
  // replaces every segment. An invalid snapshot is refused whole with one
  // log line naming `source` and the reason; the curve stays as it was.
  // Answers whether it loaded.
  bool loadSnapshot(const QVariantMap& snapshot,
                    const QString& source = QStringLiteral("snapshot"));
  // Writes the snapshot to the user's curve file of that name (escaped).
  // Nothing for an empty name. Answers the error, empty on success; a
  // failed write is logged with the snapshot and the path.
  QString saveWaveformToDiskWithName(const QString& name) const;
  // Loads the named curve file; a missing or invalid file is logged naming
  // it and changes nothing. Answers whether it loaded.
  bool loadWaveformFromDisk(const QString& name);

  // --- Evaluation (any thread) ------------------------------------------------------
  float evaluateAt(float phase) const {
    const PublishedCurve::Result result = published_.evaluate(phase);
    lastEvalPoint_.store(packed(result.x, result.value), std::memory_order_relaxed);
    return result.value;
  }
  // x on the segment and output value of the last evaluation.
  QPointF lastEvalPoint() const;
  // Whether a view point lies within handleRadius of the curve's output
  // drawn at its x.
  bool pointIsNearCurve(QPointF point) const;
  // The nearest grid value when within snapSensitivity, else `value`.
  float snapValueToGrid(float value) const;

  // --- Point editing (any thread; each one locked call) -------------------------------
  // Splits the segment under the phase (hOffset subtracted) at a new point
  // whose raw value is the curve's there, so the outputs stay the same.
  // Answers the new segment's index, or -1 when no segment holds the phase
  // or a point already stands there.
  int insertControlPointAtXLoc(float x);
  // Removes the junction before segment `index` (1..count−1).
  void removeControlPointAtIndex(int index);
  // One segment from the first point to the last remains.
  void removeAllControlPoints();
  void addControlPointAtXLoc(float x, float y);
  // The raw value of point `index` (0..count; the junction before segment
  // `index`).
  void setMagnitudeForPoint(int index, float y);
  // Segment `index`'s control point (relative x, y), in use unless both are 0.
  void setHandleForPoint(int index, float hx, float hy);
  // Replaces every segment at once; refused (logged) when they do not form
  // a curve (CurveSnapshot::checkSegments). Answers whether it took them.
  bool setSplineArray(std::vector<QKQuadraticSpline> segments);
  std::vector<QKQuadraticSpline> splineArray() const;
  int segmentCount() const;

  // --- Drawing paths (main thread) -------------------------------------------------------
  // The curve over two periods, shifted so that the phase origin lies at
  // (hOffset − floor(hOffset)) × W: filled area and outline, the circles of
  // the end points, the used control points with their lines. Not built in
  // GL mode.
  void prepareCurvePath();
  // The snap grid's lines.
  void prepareGridPath();
  QPainterPath curvePath() const;
  QPainterPath curveHandlesPath() const;
  QPainterPath controlPointsPath() const;
  QPainterPath gridPath() const;
  bool hasCurvePath() const;
  bool hasGridPath() const;
  // How many times each was built.
  int curvePathBuilds() const;
  int gridPathBuilds() const;

  // --- Mouse editing (main thread) -------------------------------------------------
  // The squares of side 2 × handleRadius around every drawn point stand for
  // the tracking rectangles: installed (tags given) after each mouse-up and
  // when the view resets them, removed when it clears them.
  void prepareTrackingRects();
  void clearTrackingRects();
  // The tag of the first installed square holding the point, or -1.
  int trackingTagAt(QPointF point) const;

  // Mouse-down at a view point with modifier flags (ModifierKeys); true
  // when the view must redraw.
  bool handleClick(QPointF point, int flags);
  // Mouse-drag to a point divided by the bounds' width and height.
  void selectedPointMovedTo(QPointF point);
  // The mouse entered the square of `tag` (from the view's hover test).
  bool handleMouseEnteredForTrackingRectTag(int tag, QPointF point, int flags);
  bool handleFlagsChanged(QPointF point, int flags);
  // Chooses the cursor (cursor()); answers whether the mouse is over a point.
  bool doCursorState(int tag, QPointF point, int flags);
  CurveCursor cursor() const { return cursor_; }

  // The selection of the last click: segment index and point (0 start,
  // 1 control, 2 end), -1 for none.
  int clickedSegmentIndex() const { return clickedSegment_; }
  int clickedPtIndex() const { return clickedPtIndex_; }

  // --- Accessors -------------------------------------------------------------------
  QRectF bounds() const;
  // A different rectangle rebuilds the curve and grid paths.
  void setBounds(const QRectF& bounds);
  float hOffset() const;
  void setHOffset(float value);  // no limit
  float vOffset() const;
  void setVOffset(float value);  // clamped to -1..1
  float amplitude() const;
  void setAmplitude(float value);  // at least 0.001
  float snapDivisions() const;
  void setSnapDivisions(float value);  // the grid path is not rebuilt
  float snapSensitivity() const { return snapSensitivity_; }
  int dragMode() const { return dragMode_; }
  void setDragMode(int mode) { dragMode_ = mode; }
  int handleMousedOverTag() const { return handleMousedOverTag_; }
  void setHandleMousedOverTag(int tag) { handleMousedOverTag_ = tag; }
  bool useGLMode() const;
  void setUseGLMode(bool use);
  int handleRadius() const { return handleRadius_; }

 private:
  using Point = QKQuadraticSpline::Point;

  static std::uint64_t packed(float x, float value) {
    return (std::uint64_t(std::bit_cast<std::uint32_t>(x)) << 32) |
           std::bit_cast<std::uint32_t>(value);
  }

  // Caller holds splineLock_.
  float snapLocked(double value) const;
  CurveMath::Sample rawSampleLocked(float u, int* segmentIndex) const;
  void publishLocked();
  void buildCurvePathLocked();
  void buildGridPathLocked();
  void applyLocked(const CurveSnapshot& snapshot);
  void removeControlPointLocked(int index);
  QPointF drawnPointLocked(const QKQuadraticSpline& segment, int which) const;
  bool inSquareLocked(const QKQuadraticSpline& segment, int which, QPointF point) const;
  void setCursor(CurveCursor cursor) { cursor_ = cursor; }
  CurveCursor cursorForPoint(int which, int flags) const;
  int segmentIndexOfPointAt(QPointF point, int* which) const;
  void movePointLocked(QPointF point);

  mutable std::mutex splineLock_;
  // Guarded by splineLock_.
  std::vector<QKQuadraticSpline> splineArray_;
  float hOffset_ = 0;
  float vOffset_ = 0;
  float amplitude_ = 1;
  float snapDivisions_ = 8;
  QRectF bounds_;
  bool useGLMode_ = false;
  QPainterPath curvePath_, curveHandlesPath_, controlPointsPath_, gridPath_;
  bool hasCurvePath_ = false;
  bool hasGridPath_ = false;
  int curvePathBuilds_ = 0;
  int gridPathBuilds_ = 0;
  int nextTrackingTag_ = 0;
  PublishedCurve published_;

  // Last evaluation, written by any thread: x and value packed.
  mutable std::atomic<std::uint64_t> lastEvalPoint_{0};

  std::atomic<bool> deleted_{false};

  // Main thread: the editing state.
  const float snapSensitivity_ = 0.02f;
  const int handleRadius_ = 6;
  bool optionOnClick_ = false;
  bool cmdOnClick_ = false;
  int clickedSegment_ = -1;
  int clickedPtIndex_ = -1;
  QPointF startTrackingPt_;
  float hOffsetDragStart_ = 0;
  float vOffsetDragStart_ = 0;
  float amplitudeDragStart_ = 1;
  int dragMode_ = 1;
  int handleMousedOverTag_ = -1;
  CurveCursor cursor_ = CurveCursor::Arrow;
};

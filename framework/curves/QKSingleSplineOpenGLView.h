#pragma once

#include "framework/curves/CurveMouseForwarder.h"
#include "framework/toolkit/RepaintRequest.h"
#include "platform/foundation/NotificationObservers.h"

#include <QLineF>
#include <QVariantMap>
#include <QWidget>

#include <array>
#include <atomic>
#include <memory>
#include <vector>

class QKSingleSpline;
class QPainter;

// The editor and monitor of one curve (the oscillator's wave): the curve
// sampled into at most 301 points and drawn as a filled line over the grid,
// with diamonds at its points and control points, the phase-origin and
// offset lines, a time marker where it was last evaluated and a level bar
// of the value it gave, in a 10-point strip at the right. The curve area
// is the view less that strip; values grow upwards. Drawn with QPainter on
// the main thread (GL stays on the render thread); nothing is drawn while
// the palette is collapsed. Follows "QKRedrawBeziersNotification".
//
// `evaluateAt` may be called from any thread: it stores only the phase and
// the value, which the next draw shows; a client asks for that draw with
// `requestRedraw` (coalesced). Everything else is main thread only.
class QKSingleSplineOpenGLView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMaxCurvePoints = 301;
  static constexpr int kMinCurvePoints = 11;
  static constexpr double kLevelViewWidth = 10.0;

  explicit QKSingleSplineOpenGLView(QWidget* parent = nullptr);
  ~QKSingleSplineOpenGLView() override;

  // Any thread.
  float evaluateAt(float phase);
  void setTimeVal(float phase) { timeVal_.store(phase, std::memory_order_relaxed); }
  float timeVal() const { return timeVal_.load(std::memory_order_relaxed); }
  float lastValue() const { return lastValue_.load(std::memory_order_relaxed); }
  void requestRedraw() { repaint_.request(); }
  bool redrawPending() const { return repaint_.pending(); }

  const std::shared_ptr<QKSingleSpline>& theSpline() const { return spline_; }
  // Samples the curve again (after the client reshaped it).
  void prepareCurvePoints();
  int curvePointsCount() const { return curvePointsCount_; }
  float curvePoint(int index) const { return curvePoints_.at(index); }
  // The curve area: the view less the level strip.
  QRectF curveArea() const;

  void prepareTrackingRects();
  void clearTrackingRects();
  void resetCursorRects();
  QVariantMap createSnapshot() const;
  bool loadSnapshot(const QVariantMap& snapshot);
  void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

  // Draws the monitor into `painter`; false (and nothing drawn) while the
  // palette is collapsed.
  bool drawMonitor(QPainter& painter);

  // --- Geometry of a draw (pure) ---
  // Samples for a curve area `width` wide: one per 3 points, 11 to 301.
  static int sampleCountFor(double width);
  // The grid of `divisions` (whole part) over w × h: d + 1 vertical then
  // d + 1 horizontal lines, none for d ≤ 1.
  static std::vector<QLineF> gridLines(double w, double h, float divisions);
  // A line between wrapped positions: one line, or two when its start lies
  // right of its end (across the area's right edge).
  static std::vector<QLineF> wrappedLine(QPointF start, QPointF end, double w);
  // What the segments draw, in view coordinates (y down).
  struct SegmentMarks {
    std::vector<QLineF> handleLines;     // control-point lines, split where wrapped
    std::vector<QPointF> controlPoints;  // diamonds of the used control points
    std::vector<QPointF> endPoints;      // diamonds of every start and end point
  };
  SegmentMarks segmentMarks() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void drawCurve(QPainter& painter, const QRectF& area) const;

  const std::shared_ptr<QKSingleSpline> spline_;
  CurveMouseForwarder mouse_;
  int curvePointsCount_ = 0;
  std::array<float, kMaxCurvePoints> curvePoints_{};
  std::atomic<float> timeVal_{-1.0f};
  std::atomic<float> lastValue_{0.0f};
  bool didResize_ = false;
  bool deleted_ = false;
  RepaintRequest repaint_;
  // Last: removed first when the view goes.
  NotificationObservers observers_;
};

#pragma once

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QVariantMap>
#include <QWidget>

#include <memory>

class QKSingleSpline;

// The two fade curves of the two-channel mixer: the left curve turns the
// crossfader position into the left layer's level, the right curve into the
// right layer's. The view draws both over an 8 × 8 snap grid (y up, the left
// curve above the right one), hands the mouse to them (the left curve first)
// and snaps dragged points onto grid lines within 3 points.
//
// Threads: `evaluateAt` may be called from any thread (the curves evaluate
// without waiting); drawing, the mouse and snapshots run on the main thread.
// The curves' hover squares stand in for tracking rectangles: every mouse
// move is hit-tested against them (mouse tracking is on).
class TCMSplineView : public QWidget {
  Q_OBJECT
 public:
  static const QString kLeftSpline;   // "leftSpline"
  static const QString kRightSpline;  // "rightSpline"

  explicit TCMSplineView(QWidget* parent = nullptr);
  ~TCMSplineView() override;

  // Gives both curves the view's bounds.
  void awakeFromNib();
  void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

  // (left curve at x, right curve at x), each 0..1.
  QPointF evaluateAt(float x) const;

  QVariantMap createSnapshot() const;
  // Each present key goes to its curve; the other curve stays as it was.
  void loadSnapshot(const QVariantMap& snapshot);

  // A view point snapped per axis onto the nearest of `divisions` grid
  // lines when it lies within `sensitivity` points of it.
  static QPointF snapPoint(QPointF point, QSizeF size, float divisions, float sensitivity);

  const std::shared_ptr<QKSingleSpline>& leftSpline() const { return leftSpline_; }
  const std::shared_ptr<QKSingleSpline>& rightSpline() const { return rightSpline_; }
  QKSingleSpline* clickedSpline() const { return clickedSpline_; }
  QKSingleSpline* mousedOverSpline() const { return mousedOverSpline_; }
  QPointF lastPoint() const { return lastPoint_; }
  float snapDivisions() const { return snapDivisions_; }
  float snapSensitivity() const { return snapSensitivity_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPointF viewPoint(const QMouseEvent* event) const;
  void giveCurvesBounds();
  void resetTrackingRects();
  // The hover test in place of tracking-rectangle entries.
  void hoverAt(QPointF point, int flags);
  void cursorStateAt(QPointF point, int flags, bool clearWhenNone);
  void showCursor();
  void drawCurve(QPainter& painter, QKSingleSpline& curve, const QColor& fill);

  const std::shared_ptr<QKSingleSpline> leftSpline_;
  const std::shared_ptr<QKSingleSpline> rightSpline_;
  const float snapDivisions_ = 8.0f;
  const float snapSensitivity_ = 3.0f;
  QKSingleSpline* clickedSpline_ = nullptr;
  QKSingleSpline* mousedOverSpline_ = nullptr;
  int hoveredLeftTag_ = -1;
  int hoveredRightTag_ = -1;
  QPointF lastPoint_;
  bool deleted_ = false;

  const QColor bgColor_ = QColor::fromRgbF(0.3f, 0.3f, 0.3f, 1.0f);
  const QColor curveLineColor_{Qt::black};
  const QColor leftCurveFillColor_ = QColor::fromRgbF(1.0f, 0.2f, 0.2f, 0.3f);
  const QColor rightCurveFillColor_ = QColor::fromRgbF(0.2f, 0.2f, 1.0f, 0.3f);
  const QColor controlPtLineDefaultColor_ = QColor::fromRgbF(0.8f, 0.8f, 0.8f, 0.75f);
  const QColor handleRectDefaultColor_{Qt::black};
  const QColor snapLinesColor_ = QColor::fromRgbF(0.6f, 0.6f, 0.6f, 1.0f);
};

#pragma once

#include "framework/curves/CurveMouseForwarder.h"
#include "platform/foundation/NotificationObservers.h"

#include <QVariantMap>
#include <QWidget>

#include <memory>

class QKSingleSpline;
class QKSplineToolsView;
class QPainter;

// The editor of one curve: draws its grid, filled curve, handles and
// origin lines in the curve colours ("bezierColorDict") over the palette's
// background, and hands every mouse event to the curve's editing protocol.
// The curve is drawn with y up. Follows "QKRedrawBeziersNotification".
//
// The curve is shared: a behaviour that evaluates it on another thread
// keeps it (`theSpline`) and never touches the view. Main thread only.
class QKSingleSplineView : public QWidget {
  Q_OBJECT
 public:
  static const QString kRedrawNotification;  // "QKRedrawBeziersNotification"
  static const QString
      kWaveformMenuNeedsUpdateNotification;  // "QKWaveformMenuNeedsUpdateNotification"

  // A view of a new curve, or of `spline` (shared with its owner).
  explicit QKSingleSplineView(QWidget* parent = nullptr);
  explicit QKSingleSplineView(std::shared_ptr<QKSingleSpline> spline, QWidget* parent = nullptr);
  ~QKSingleSplineView() override;

  // Gives the curve the view's bounds.
  void awakeFromNib();
  void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

  // The tracking squares (a mouse-up and a resize install them again).
  void prepareTrackingRects();
  void clearTrackingRects();
  void resetCursorRects();

  float evaluateAt(float phase) const;
  QVariantMap createSnapshot() const;
  bool loadSnapshot(const QVariantMap& snapshot);
  // Writes the curve under `name` and tells every waveform pop-up to
  // relist; answers the error, empty on success.
  QString saveToDisk(const QString& name);
  // Loads the curve file titled so; nothing for an empty title.
  void loadFromDisk(const QString& title);

  const std::shared_ptr<QKSingleSpline>& theSpline() const { return spline_; }
  void setSplineTools(QKSplineToolsView* tools) { splineTools_ = tools; }

  // Draws the editor into `painter` over the view's rectangle.
  void drawEditor(QPainter& painter);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  const std::shared_ptr<QKSingleSpline> spline_;
  CurveMouseForwarder mouse_;
  QKSplineToolsView* splineTools_ = nullptr;
  bool deleted_ = false;
  // Last: removed first when the view goes.
  NotificationObservers observers_;
};

#pragma once

#include "framework/splitview/SplitPane.h"

#include <QRectF>
#include <QString>
#include <QWidget>

#include <optional>

class SplitAnimation;
class TQSplitView;

// One pane of a split view, and the base of the split view itself (so split
// views nest). It carries its identity, its limits along the split view's
// axis, the fractional remainder the layout keeps for it, and collapse and
// expand, at once or animated (one animation runs in the whole program).
// The pane's frame is kept as a float rectangle — the layout works in float
// sizes — and applied to the widget rounded.
//
// Main thread only.
class TQSplitSubview : public QWidget {
  Q_OBJECT
 public:
  static constexpr unsigned kNoDivider = 0x7fffffff;

  explicit TQSplitSubview(const QRectF& frame = {}, QWidget* parent = nullptr);
  ~TQSplitSubview() override;

  // --- Identity and placement ---
  QString identifier() const { return identifier_; }
  void setIdentifier(const QString& identifier);
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }
  TQSplitView* splitView() const;
  TQSplitView* outermostSplitView() const;
  bool splitViewIsHorizontal() const;
  virtual TQSplitView* couplingSplitView() const;
  virtual TQSplitView* coupledSplitView() const { return nullptr; }
  virtual TQSplitView* asSplitView() { return nullptr; }
  virtual bool isCoupled() const { return false; }
  int position() const;
  void setPosition(int index);
  // Hides or shows the pane and lays the split view out again; a pane shown
  // keeps its size.
  void setHidden(bool hidden);
  // Only the widget's hidden state, without layout.
  void setHiddenWithoutLayout(bool hidden);

  // --- Frame, in the split view's coordinates ---
  QRectF frame() const { return frame_; }
  void setFrame(const QRectF& frame);
  void setFrame(const QRectF& frame, double fraction, bool notify);
  void setFrameSize(const QSizeF& size, double fraction);

  // --- Limits and size along the split view's axis ---
  float minDimension() const { return minDimension_; }
  float maxDimension() const { return maxDimension_; }
  void setMinDimension(float minDimension, float maxDimension);
  float dimension() const;
  void setDimension(float value);
  float visibleDimension() const;
  double fraction() const { return fraction_; }
  bool isCollapsed() const { return visibleDimension() <= 0.0f; }
  bool canShrink() const;
  bool canExpand() const { return maxDimension_ > visibleDimension(); }
  bool canCollapse() const;
  void setCanCollapse(bool flag) { canCollapseFlag_ = flag; }
  // −1 while collapsing animated, −2 while expanding animated, else 1 when
  // collapsed and 0 when open.
  int status() const;

  // --- Collapse and expand ---
  float collapse();
  float expand();
  bool collapseWithAnimation(bool animate = true, bool resize = true);
  bool expandWithAnimation(bool animate = true, bool resize = true);
  static bool animating();
  // Runs the due step of the running animation (its timer does this).
  static void stepRunningAnimation();
  // The size step of a divider drag; answers the change made.
  float changeDimensionBy(float increment, bool mayCollapse, bool move);

  // --- For the split view ---
  SplitPane record() const;
  // Takes a record the engine laid out or moved: its frame and fraction, and
  // its collapse or re-opening. A layout gives the cross size too (the
  // pane spans the split view across its axis).
  void takeRecord(const SplitPane& record, std::optional<float> cross = std::nullopt);
  unsigned actDivider() const { return actDivider_; }
  void setActDivider(unsigned divider) { actDivider_ = divider; }
  bool animationOwner() const;
  bool stopAnimation();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  // The frame's size changed (set by the split view or by the widget's owner).
  virtual void frameSizeChanged(const QSizeF& oldSize);
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintAsPane(QPainter& painter, const QRectF& rect);
  bool isVerticalAxis() const;
  void adoptGeometry();

 private:
  bool startAnimation(bool resize);
  void stepAnimation();
  void finishChange(const QRectF& frame, double fraction, bool collapsed);
  bool clearResponder();
  QRectF frameWithDimension(float dimension) const;
  double wholeDimension() const;
  void resizeContents(const QSizeF& oldSize);

  QString identifier_;
  int tag_ = 0;
  float minDimension_ = 1.0f;
  float maxDimension_ = 1e6f;
  double fraction_ = 0.0;
  QRectF frame_;
  QRectF previous_;
  QSizeF savedSize_;
  unsigned actDivider_ = kNoDivider;
  bool canDragWindow_ = false;
  bool canCollapseFlag_ = false;
  bool notInLimits_ = false;
  bool draggingWindow_ = false;
  QPointF windowDragStart_;
};

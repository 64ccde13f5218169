#pragma once

#include "framework/splitview/SplitDrag.h"
#include "framework/splitview/TQSplitSubview.h"

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QList>
#include <QVariantList>
#include <QVariantMap>

#include <optional>
#include <vector>

class QPainter;
class TQSplitViewDelegate;

// A row (vertical split view: side by side) or a column (horizontal: stacked)
// of panes separated by dividers. The layout engine (SplitLayout) shares the
// view's dimension among the panes keeping their proportions; dividers are
// dragged (SplitDrag) and double-clicked to collapse; a split view is itself
// a pane, so it nests, and a nested split view — always of the other
// orientation — shares its parent's divider image and background when
// coupled, and its dividers are dragged together with the parent's where
// they cross. The state of the panes is written as a state string, kept in
// the user defaults under the autosave name and handed to snapshots.
//
// Every change that affects the layout marks the view and schedules one
// pass; a pass requested during a pass is ignored. Main thread only.
class TQSplitView : public TQSplitSubview {
  Q_OBJECT
 public:
  enum CursorIndex { HorizontalDivider = 0, VerticalDivider = 1, Crossing = 2, Dragging = 3 };

  explicit TQSplitView(const QRectF& frame = {}, QWidget* parent = nullptr);
  TQSplitView(const QRectF& frame, int subviews, QWidget* parent = nullptr);
  ~TQSplitView() override;

  // --- Orientation, dividers, coupling ---
  bool isHorizontal() const;
  bool isVertical() const { return !isHorizontal(); }
  void setVertical(bool vertical);
  float dividerThickness() const;
  void setDividerThickness(float thickness);
  QImage divider() const;
  void setDivider(const QImage& image);
  QColor background() const;
  void setBackground(const QColor& color);
  bool isCoupled() const override;
  void setCoupled(bool coupled);
  TQSplitView* couplingSplitView() const override;
  TQSplitView* coupledSplitView() const override;
  TQSplitView* asSplitView() override { return this; }
  TQSplitViewDelegate* delegate() const { return delegate_; }
  void setDelegate(TQSplitViewDelegate* delegate) { delegate_ = delegate; }

  // --- Panes ---
  // All panes in order, hidden ones included.
  QList<TQSplitSubview*> panes() const;
  QList<TQSplitSubview*> visiblePanes() const;
  TQSplitSubview* subviewAtPosition(int index) const;
  TQSplitSubview* subviewWithIdentifier(const QString& identifier) const;
  // A pane is added as it is; any other widget is wrapped in a new pane that
  // it fills. Answers the pane.
  TQSplitSubview* addSubview(QWidget* view);
  TQSplitSubview* addSubview(QWidget* view, int position);

  // --- Layout ---
  void adjustSubviews();
  void adjustSubviewsExcepting(TQSplitSubview* pane);
  bool mustAdjust() const { return mustAdjust_; }
  void setMustAdjust();
  void setMustClearFractions() { mustClearFractions_ = true; }
  double dimensionWithoutDividers() const;
  const std::vector<QRectF>& dividerRects() const { return dividers_; }
  float dividerOrigin(int divider) const;
  void adjustOutermostIfNeeded();
  // Whether the view is the document of a scroll area.
  bool isInScrollView() const;

  // --- Dragging ---
  bool isDragging() const { return dragging_; }
  void setDragging(bool dragging);
  // A drag of a divider claimed by a pane (points in this view's coordinates).
  void beginClaimedDrag(int divider, const QPointF& point);
  void continueDrag(const QPointF& point);
  void endDrag();
  // One drag step of the divider: the pointer's distance from `start` along
  // the axis, less `base`.
  void trackDivider(int divider, const QPointF& start, float base, const QPointF& point);
  void doubleClickDivider(int divider);
  // The first divider whose rectangle, lengthened at both ends by
  // `thickness`, holds the point (given in `view`'s coordinates); -1 if none.
  int dividerHitBy(const QPointF& point, const QWidget* view, float thickness) const;
  QRectF dividerRect(int divider, const QWidget* relativeTo) const;
  static QCursor cursor(int index);
  static void setCursor(int index, std::optional<QCursor> cursor);
  // Cursor areas with their cursor index: crossings first, then dividers.
  std::vector<std::pair<QRectF, int>> cursorRects() const;

  // --- State ---
  static QString defaultsKeyForName(const QString& name, bool horizontal);
  static void removeStateUsingName(const QString& name);
  QString autosaveName() const { return autosaveName_; }
  void setAutosaveName(const QString& name, bool recursively);
  bool saveState(bool recurse);
  bool restoreState(bool recurse);
  QString stringWithSavedState() const;
  bool setStateFromString(const QString& state);
  QVariantList arrayWithStates() const;
  bool setStatesFromArray(const QVariantList& states);
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);

  // --- Drawing ---
  virtual void drawDivider(QPainter& painter, const QImage* image, const QRectF& rect,
                           TQSplitSubview* leading, TQSplitSubview* trailing);

 protected:
  void frameSizeChanged(const QSizeF& oldSize) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void childEvent(QChildEvent* event) override;

 private:
  struct NestedGrab {
    TQSplitView* view = nullptr;
    int divider = -1;
    float grabOffset = 0.0f;
    QPointF start;  // in the nested view's coordinates
  };
  struct Drag {
    bool active = false;
    int divider = -1;
    float grabOffset = 0.0f;
    QPointF start;
    NestedGrab leading, trailing;
  };

  void layoutPass(TQSplitSubview* exempt);
  void applyMoves(std::vector<SplitPane>& records, const QList<TQSplitSubview*>& visible);
  void takeMoves(std::vector<SplitPane>& records, const QList<TQSplitSubview*>& visible);
  SplitDrag::Context dragContext(const QList<TQSplitSubview*>& visible);
  float windowRoom(bool grow) const;
  void resizeWindow(float change);
  int dividerAt(const QPointF& point) const;
  void beginDrag(int divider, const QPointF& point);
  NestedGrab grabNested(TQSplitSubview* pane, const QPointF& point) const;
  void layOutAfterMove();
  float along(const QPointF& point) const { return isVertical() ? point.x() : point.y(); }
  QRectF crossing(int ownDivider, const QRectF& parentDivider, float thickness,
                  const QWidget* parent) const;
  void drawCrossings(QPainter& painter, TQSplitView* parent, const QRectF& parentDivider,
                     float thickness) const;
  void enableSaving();

  TQSplitViewDelegate* delegate_ = nullptr;
  QString autosaveName_;
  QColor background_;
  QImage divider_;
  std::vector<QRectF> dividers_;
  float thickness_ = 0.0f;
  bool mustAdjust_ = false;
  bool mustClearFractions_ = false;
  bool horizontal_ = false;
  bool canSaveState_ = false;
  bool coupled_ = true;
  bool adjusting_ = false;
  bool dragging_ = false;
  bool passScheduled_ = false;
  float pendingWindowChange_ = 0.0f;
  Drag drag_;
};

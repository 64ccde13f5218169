#pragma once

#include <QRectF>

#include <optional>

class QMouseEvent;
class QRectF;
class TQSplitSubview;
class TQSplitView;

// What a split view asks of its delegate. Every method is optional: the
// defaults do nothing, and an empty answer means the split view's own
// behaviour.
class TQSplitViewDelegate {
 public:
  virtual ~TQSplitViewDelegate() = default;

  virtual void willAdjustSubviews(TQSplitView*) {}
  virtual void didAdjustSubviews(TQSplitView*) {}
  virtual void wasResizedFrom(TQSplitView*, float /*oldDimension*/, float /*newDimension*/) {}
  virtual void changedFrameOfSubview(TQSplitView*, TQSplitSubview*, const QRectF& /*from*/,
                                     const QRectF& /*to*/) {}
  virtual std::optional<bool> canCollapse(TQSplitView*, TQSplitSubview*) { return std::nullopt; }
  virtual void didCollapse(TQSplitView*, TQSplitSubview*) {}
  virtual void didExpand(TQSplitView*, TQSplitSubview*) {}
  // Seconds for a collapse or expand animation of the pane.
  virtual std::optional<double> willAnimateSubview(TQSplitView*, TQSplitSubview*,
                                                   float /*dimension*/) {
    return std::nullopt;
  }
  // On a double click when both panes can collapse: the one to collapse.
  virtual TQSplitSubview* collapseLeading(TQSplitView*, TQSplitSubview* /*leading*/,
                                          TQSplitSubview* /*trailing*/) {
    return nullptr;
  }
  // false ignores a click on the divider.
  virtual bool shouldHandleEvent(TQSplitView*, QMouseEvent*, int /*divider*/,
                                 TQSplitSubview* /*leading*/, TQSplitSubview* /*trailing*/) {
    return true;
  }
  // Lets a point inside a pane act as the divider of that index.
  virtual std::optional<int> dividerForPoint(TQSplitView*, const QPointF&, TQSplitSubview*) {
    return std::nullopt;
  }
  virtual std::optional<QRectF> cursorRect(TQSplitView*, const QRectF&, int /*divider*/) {
    return std::nullopt;
  }
  // true grows or shrinks the window instead of the neighbouring pane.
  virtual bool shouldResizeWindowForDivider(TQSplitView*, int /*divider*/, TQSplitSubview*,
                                            TQSplitSubview*, bool /*willGrow*/) {
    return false;
  }
  virtual std::optional<QRectF> willDrawDividerInRect(TQSplitView*, const QRectF& /*divider*/,
                                                      TQSplitSubview*, TQSplitSubview*,
                                                      const QRectF& /*proposed*/) {
    return std::nullopt;
  }
  virtual void willDrawSubview(TQSplitView*, TQSplitSubview*, const QRectF&) {}
};

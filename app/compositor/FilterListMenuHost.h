#pragma once

class QAbstractItemView;
class QPoint;

// What the effects browser's table asks of the browser: its contextual menu
// for the table, popped up at a point on screen (nothing when it has none).
class FilterListMenuHost {
 public:
  virtual ~FilterListMenuHost() = default;
  virtual void openContextualMenuOnEvent(QAbstractItemView* table, const QPoint& globalPoint) = 0;
};

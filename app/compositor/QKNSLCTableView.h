#pragma once

#include "framework/toolkit/QKNSTableView.h"

#include <QPointF>

// A themed table that remembers where its last mouse-down landed: the point
// (the table's viewport coordinates) and the column and row there (−1 where
// there is none), so that its controller can ask which cell was clicked.
class QKNSLCTableView : public QKNSTableView {
  Q_OBJECT
 public:
  explicit QKNSLCTableView(QWidget* parent = nullptr) : QKNSTableView(parent) {}

  QPointF lastClickedPoint() const { return lastClickedPoint_; }
  // x the column, y the row.
  QPointF lastClickedColAndRow() const { return lastClickedColAndRow_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QPointF lastClickedPoint_;
  QPointF lastClickedColAndRow_{-1, -1};
};

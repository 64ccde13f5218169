#include "app/compositor/QKNSLCTableView.h"

#include <QMouseEvent>

void QKNSLCTableView::mousePressEvent(QMouseEvent* event) {
  lastClickedPoint_ = event->position();
  const QPoint point = event->position().toPoint();
  lastClickedColAndRow_ = QPointF(columnAt(point.x()), rowAt(point.y()));
  QKNSTableView::mousePressEvent(event);
}

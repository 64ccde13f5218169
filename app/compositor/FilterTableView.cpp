#include "app/compositor/FilterTableView.h"

#include "app/compositor/FilterListMenuHost.h"
#include "framework/toolkit/TableViewAdditions.h"

#include <QMouseEvent>

void FilterTableView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton || (event->modifiers() & Qt::ControlModifier)) {
    rightMouseDown(event);
    return;
  }
  QKNSLCTableView::mousePressEvent(event);
}

void FilterTableView::rightMouseDown(QMouseEvent* event) {
  TableViewAdditions::selectRowIndex(this, rowAt(event->position().toPoint().y()));
  if (filterListController_)
    filterListController_->openContextualMenuOnEvent(this, event->globalPosition().toPoint());
  event->accept();
}

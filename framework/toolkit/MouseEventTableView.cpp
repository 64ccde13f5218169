#include "framework/toolkit/MouseEventTableView.h"

#include <QKeyEvent>
#include <QMouseEvent>

void MouseEventTableView::keyPressEvent(QKeyEvent* event) {
  const bool deleteKey = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete;
  if (!deleteKey || !delegate_) return QTableView::keyPressEvent(event);
  delegate_->tableViewDeleteKeyPressed(this, event);
  event->accept();
}

void MouseEventTableView::mousePressEvent(QMouseEvent* event) {
  if (delegate_) delegate_->tableViewMouseDown(this, event);
  QTableView::mousePressEvent(event);
}

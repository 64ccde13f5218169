#include "app/shell/PMTableView.h"

#include "app/shell/PMTableDelegate.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include <algorithm>

PMTableView::PMTableView(PMTableDelegate* delegate, QWidget* parent)
    : ActiveDeleteTableView(parent), delegate_(delegate) {
  // The trigger image leads the name cell, where a click on it is looked for.
  setItemDelegate(new QStyledItemDelegate(this));
  setObjectName(QStringLiteral("presetTable"));
  setModel(delegate);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::CopyAction);
  setDragDropOverwriteMode(false);
  setSortingEnabled(true);
  horizontalHeader()->setSortIndicator(PMTableDelegate::IndexColumn, Qt::AscendingOrder);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setSectionResizeMode(PMTableDelegate::NameColumn, QHeaderView::Stretch);
  verticalHeader()->hide();
  setColumnWidth(PMTableDelegate::TypeColumn, 80);
  setColumnWidth(PMTableDelegate::IndexColumn, 28);
}

QList<int> PMTableView::selectedRowList() const {
  QList<int> rows;
  if (!selectionModel()) return rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

void PMTableView::mousePressEvent(QMouseEvent* event) {
  wasLastClickADoubleClick_ = false;
  const QPoint point = event->position().toPoint();
  const QModelIndex index = indexAt(point);
  ActiveDeleteTableView::mousePressEvent(event);
  if (index.isValid() && index.column() == PMTableDelegate::NameColumn &&
      point.x() - visualRect(index).left() < PMTableDelegate::kTriggerImageWidth)
    Q_EMIT triggerImageClicked();
}

// Outside every column nothing happens.
void PMTableView::mouseDoubleClickEvent(QMouseEvent* event) {
  wasLastClickADoubleClick_ = true;
  const int column = columnAt(event->position().toPoint().x());
  if (column == -1) {
    event->accept();
    return;
  }
  if (column != PMTableDelegate::NameColumn) {
    event->accept();
    delegate_->doubleActionTaken();
    return;
  }
  // The name edits on a double click, wherever the press that began it fell.
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && edit(index, DoubleClicked, event)) {
    event->accept();
    return;
  }
  ActiveDeleteTableView::mouseDoubleClickEvent(event);
}

void PMTableView::keyPressEvent(QKeyEvent* event) {
  if (state() != EditingState &&
      (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
    Q_EMIT deleteKeyPressed();
    event->accept();
    return;
  }
  ActiveDeleteTableView::keyPressEvent(event);
}

bool PMTableView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (!index.isValid() || index.column() != PMTableDelegate::NameColumn) return false;
  return QTableView::edit(index, trigger, event);
}

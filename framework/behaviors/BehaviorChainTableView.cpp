#include "framework/behaviors/BehaviorChainTableView.h"

#include "framework/behaviors/BehaviorChainListController.h"

#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>

BehaviorChainTableView::BehaviorChainTableView(QWidget* parent) : ActiveDeleteTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDropIndicatorShown(true);
  verticalHeader()->hide();
  horizontalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setShowGrid(false);
}

BehaviorChainListController* BehaviorChainTableView::controller() const {
  return qobject_cast<BehaviorChainListController*>(model());
}

int BehaviorChainTableView::dropRowAt(const QPoint& position) const {
  const QModelIndex index = indexAt(position);
  if (index.isValid()) return index.row();
  return model() ? model()->rowCount() : 0;
}

void BehaviorChainTableView::startDrag(Qt::DropActions) {
  BehaviorChainListController* list = controller();
  if (!list || !selectionModel()) return;
  const QModelIndexList rows = selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  QMimeData* data = list->writeRow(rows.first().row());
  if (!data) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

void BehaviorChainTableView::dragEnterEvent(QDragEnterEvent* event) {
  event->acceptProposedAction();
}

void BehaviorChainTableView::dragMoveEvent(QDragMoveEvent* event) {
  BehaviorChainListController* list = controller();
  const Qt::DropAction action =
      list ? list->validateDrop(event->mimeData(), event->possibleActions()) : Qt::IgnoreAction;
  if (action == Qt::IgnoreAction) {
    event->ignore();
    return;
  }
  event->setDropAction(action);
  event->accept();
}

void BehaviorChainTableView::dropEvent(QDropEvent* event) {
  BehaviorChainListController* list = controller();
  const bool done =
      list && list->acceptDrop(event->mimeData(), event->source(),
                               dropRowAt(event->position().toPoint()), event->possibleActions());
  event->setDropAction(done ? Qt::MoveAction : Qt::IgnoreAction);
  if (done)
    event->accept();
  else
    event->ignore();
}

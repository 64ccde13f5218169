#include "app/mediabin/MBTOCTableView.h"

#include "app/mediabin/MBTOCController.h"

#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>

MBTOCTableView::MBTOCTableView(QWidget* parent) : ActiveDeleteTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDropIndicatorShown(true);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

MBTOCController* MBTOCTableView::controller() const {
  return qobject_cast<MBTOCController*>(model());
}

void MBTOCTableView::mousePressEvent(QMouseEvent* event) {
  altOnPress_ = event->modifiers() & Qt::AltModifier;
  ActiveDeleteTableView::mousePressEvent(event);
}

void MBTOCTableView::startDrag(Qt::DropActions) {
  MBTOCController* toc = controller();
  if (!toc || !selectionModel()) return;
  std::set<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.insert(index.row());
  if (rows.empty()) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(toc->writeRows(rows));
  drag->exec(altOnPress_ ? Qt::CopyAction : Qt::MoveAction);
}

// Within 4 points of a row's edge a drop goes between rows.
void MBTOCTableView::target(const QPoint& position, int& row, bool& onRow) const {
  const QModelIndex index = indexAt(position);
  if (!index.isValid()) {
    row = model() ? model()->rowCount() : 0;
    onRow = false;
    return;
  }
  const QRect rect = visualRect(index);
  row = index.row();
  onRow = true;
  if (position.y() < rect.top() + 4) {
    onRow = false;
  } else if (position.y() > rect.bottom() - 4) {
    row += 1;
    onRow = false;
  }
}

void MBTOCTableView::dragEnterEvent(QDragEnterEvent* event) { event->acceptProposedAction(); }

// Where a drag over the table would land and what the controller makes of
// it there; the copy modifier is Qt's copy action.
MBTOCTableView::DropTarget MBTOCTableView::dropTarget(const QDropEvent* event) const {
  DropTarget drop;
  bool onRow = false;
  target(event->position().toPoint(), drop.row, onRow);
  drop.operation =
      onRow ? MBTOCController::DropOperation::On : MBTOCController::DropOperation::Above;
  drop.copy = event->possibleActions() == Qt::CopyAction;
  if (MBTOCController* toc = controller())
    drop.action = toc->validateDrop(event->mimeData(), drop.row, drop.operation, drop.copy);
  return drop;
}

void MBTOCTableView::dragMoveEvent(QDragMoveEvent* event) {
  const DropTarget drop = dropTarget(event);
  if (drop.action == Qt::IgnoreAction) {
    event->ignore();
    return;
  }
  event->setDropAction(drop.action);
  event->accept();
}

void MBTOCTableView::dropEvent(QDropEvent* event) {
  const DropTarget drop = dropTarget(event);
  if (drop.action == Qt::IgnoreAction) {
    event->ignore();
    return;
  }
  const bool done = controller()->acceptDrop(event->mimeData(), event->source(), drop.row,
                                             drop.operation, drop.copy);
  // A file manager is never told to delete what it dropped here.
  event->setDropAction(done ? drop.action : Qt::IgnoreAction);
  event->accept();
}

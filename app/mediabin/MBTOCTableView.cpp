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

void MBTOCTableView::dragMoveEvent(QDragMoveEvent* event) {
  MBTOCController* toc = controller();
  int row = -1;
  bool onRow = false;
  target(event->position().toPoint(), row, onRow);
  auto operation =
      onRow ? MBTOCController::DropOperation::On : MBTOCController::DropOperation::Above;
  const bool alt = event->possibleActions() == Qt::CopyAction;
  const Qt::DropAction action =
      toc ? toc->validateDrop(event->mimeData(), row, operation, alt) : Qt::IgnoreAction;
  if (action == Qt::IgnoreAction) {
    event->ignore();
    return;
  }
  event->setDropAction(action);
  event->accept();
}

void MBTOCTableView::dropEvent(QDropEvent* event) {
  MBTOCController* toc = controller();
  int row = -1;
  bool onRow = false;
  target(event->position().toPoint(), row, onRow);
  auto operation =
      onRow ? MBTOCController::DropOperation::On : MBTOCController::DropOperation::Above;
  const bool copy = event->possibleActions() == Qt::CopyAction;
  const Qt::DropAction action =
      toc ? toc->validateDrop(event->mimeData(), row, operation, copy) : Qt::IgnoreAction;
  if (action == Qt::IgnoreAction) {
    event->ignore();
    return;
  }
  const bool done = toc->acceptDrop(event->mimeData(), event->source(), row, operation, copy);
  // A file manager is never told to delete what it dropped here.
  event->setDropAction(done ? action : Qt::IgnoreAction);
  event->accept();
}

#include "app/mediabin/MBLayerTableView.h"

#include "app/mediabin/MBLayerController.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/datasource/DataSourceController.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

MBLayerTableView::MBLayerTableView(QWidget* parent) : QKNSTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::MoveAction);
  verticalHeader()->setVisible(false);
}

void MBLayerTableView::setController(MBLayerController* controller) {
  controller_ = controller;
  setModel(controller);
  horizontalHeader()->setSectionResizeMode(MBLayerController::kNameColumn, QHeaderView::Stretch);
  horizontalHeader()->resizeSection(MBLayerController::kNextColumn, 18);
  horizontalHeader()->resizeSection(MBLayerController::kActiveColumn, 28);
}

void MBLayerTableView::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  lastClickedColAndRow_ = index.isValid() ? QPoint(index.column(), index.row()) : QPoint(-1, -1);
  MBLayerController* c = controller_;
  if (!c) return QKNSTableView::mousePressEvent(event);
  c->lastClickedColAndRow_ = lastClickedColAndRow_;
  if (c->hardwareLearnMode() && !c->selected()) {
    QKButtonManager* manager = c->buttonManager();
    DataSourceController* dsc = manager ? manager->dataSourceController() : nullptr;
    if (dsc)
      dsc->selectThisAltUIItem(c);
    else
      c->select();
    return;
  }
  const int column = lastClickedColAndRow_.x();
  const int row = lastClickedColAndRow_.y();
  if (column == MBLayerController::kNextColumn && row >= 0)
    return c->makeNextLayerColumnPressed(row);
  if (column == MBLayerController::kShortcutColumn && row >= 0)
    return c->detectShortcutForItemAtIndex(row);
  if (c->hardwareLearnMode() && c->selected() && row >= 0)
    return c->detectShortcutForItemAtIndex(row);
  QKNSTableView::mousePressEvent(event);
}

void MBLayerTableView::paintEvent(QPaintEvent* event) {
  QKNSTableView::paintEvent(event);
  if (!controller_ || !controller_->hardwareLearnMode()) return;
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), QColor::fromRgbF(0, 0, 1, 0.33f));
}

int MBLayerTableView::dropRowAt(const QPoint& point) const {
  const QModelIndex index = indexAt(point);
  if (!index.isValid()) return model() ? model()->rowCount() : 0;
  const QRect rect = visualRect(index);
  return point.y() > rect.center().y() ? index.row() + 1 : index.row();
}

bool MBLayerTableView::acceptDrop(const QMimeData* mime, const QObject* source, int row) {
  const auto* from = qobject_cast<const MBLayerTableView*>(source);
  if (!controller_ || !mime || !mime->hasFormat(MBLayerController::kDragType) || !from ||
      from->controller() != controller_)
    return false;
  return controller_->moveDraggedRows(row);
}

void MBLayerTableView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasFormat(MBLayerController::kDragType))
    event->acceptProposedAction();
  else
    event->ignore();
}

void MBLayerTableView::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasFormat(MBLayerController::kDragType))
    event->acceptProposedAction();
  else
    event->ignore();
}

void MBLayerTableView::dropEvent(QDropEvent* event) {
  if (acceptDrop(event->mimeData(), event->source(), dropRowAt(event->position().toPoint())))
    event->acceptProposedAction();
  else
    event->ignore();
}

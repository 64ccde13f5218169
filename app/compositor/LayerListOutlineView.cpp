#include "app/compositor/LayerListOutlineView.h"

#include "app/compositor/LayerListModel.h"

#include <QKeyEvent>

LayerListOutlineView::LayerListOutlineView(QWidget* parent) : ActiveDeleteOutlineView(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDefaultDropAction(Qt::MoveAction);
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
}

void LayerListOutlineView::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) &&
      state() != QAbstractItemView::EditingState) {
    if (deleteKeyPressed_) deleteKeyPressed_();
    event->accept();
    return;
  }
  ActiveDeleteOutlineView::keyPressEvent(event);
}

void LayerListOutlineView::startDrag(Qt::DropActions supportedActions) {
  ActiveDeleteOutlineView::startDrag(supportedActions);
  if (auto* layers = qobject_cast<LayerListModel*>(model())) layers->draggingEnded();
}

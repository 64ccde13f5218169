#include "framework/toolkit/TableViewAdditions.h"

#include <QAbstractItemView>

namespace TableViewAdditions {

namespace {

int rowCount(const QAbstractItemView* view) {
  return view->model() ? view->model()->rowCount(view->rootIndex()) : 0;
}

void selectOnly(QAbstractItemView* view, int row) {
  const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
  view->selectionModel()->select(index,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace

void selectRowIndex(QAbstractItemView* view, int index) {
  if (!view || !view->selectionModel()) return;
  if (index >= 0 && index < rowCount(view))
    selectOnly(view, index);
  else
    view->clearSelection();
}

void selectFirstRow(QAbstractItemView* view) {
  if (view && view->selectionModel() && rowCount(view) > 0) selectOnly(view, 0);
}

}  // namespace TableViewAdditions

#include "app/compositor/FilterListTableModel.h"

#include "app/compositor/CIFilterListController.h"

#include <QMimeData>

FilterListTableModel::FilterListTableModel(CIFilterListController* controller,
                                           QAbstractItemView* table)
    : QAbstractListModel(nullptr), controller_(controller), table_(table) {}

void FilterListTableModel::reload() {
  beginResetModel();
  endResetModel();
}

int FilterListTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : controller_->numberOfRowsInTableView(table_);
}

QVariant FilterListTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return controller_->objectValueForRow(table_, index.row());
    case Qt::ToolTipRole:
      return controller_->toolTipForRow(table_, index.row());
    default:
      return {};
  }
}

// Rows are neither edited nor renamed here; only effects are dragged.
Qt::ItemFlags FilterListTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (controller_->dragsRowsOf(table_)) flags |= Qt::ItemIsDragEnabled;
  return flags;
}

QStringList FilterListTableModel::mimeTypes() const {
  const QString type = controller_->draggedEffectMimeType();
  return type.isEmpty() ? QStringList() : QStringList{type};
}

QMimeData* FilterListTableModel::mimeData(const QModelIndexList& indexes) const {
  return controller_->writeRows(table_, indexes);
}

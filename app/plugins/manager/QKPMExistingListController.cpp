#include "app/plugins/manager/QKPMExistingListController.h"

#include "app/plugins/manager/PluginDeleteImage.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/QKPlugin.h"
#include "framework/toolkit/QKTextImageCell.h"

#include <QItemSelectionModel>

QKPMExistingListController::QKPMExistingListController(QKPluginManager* manager)
    : manager_(manager) {}

void QKPMExistingListController::awakeFromNib(ActiveDeleteTableView* view) {
  view_ = view;
  view->setModel(this);
  view->setDeleteDelegate(this);
  cell_ = new QKTextImageCell(view);
  cell_->setImage(PluginDeleteImage::image());
  cell_->setImageAction(
      [this](const QModelIndex& index, const QMouseEvent&) { deleteRowPressed(index.row()); });
  view->setItemDelegate(cell_);
  view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
}

void QKPMExistingListController::reload() {
  beginResetModel();
  endResetModel();
}

void QKPMExistingListController::deleteRowPressed(int row) {
  if (!view_ || row < 0 || row >= rowCount()) return;
  QItemSelectionModel* selection = view_->selectionModel();
  if (selection && !selection->isRowSelected(row, {}))
    selection->select(index(row), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  manager_->deleteSelectedPlugin();
}

void QKPMExistingListController::deleteKeyPressed() { manager_->deleteSelectedPlugin(); }

int QKPMExistingListController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(manager_->pluginArray().size());
}

QVariant QKPMExistingListController::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const QList<QKPlugin*> plugins = manager_->pluginArray();
  if (index.row() < 0 || index.row() >= plugins.size()) return {};
  return plugins.at(index.row())->windowTitle();
}

Qt::ItemFlags QKPMExistingListController::flags(const QModelIndex& index) const {
  return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}

bool QKPMExistingListController::setData(const QModelIndex& index, const QVariant& value,
                                         int role) {
  if (role != Qt::EditRole) return false;
  const QList<QKPlugin*> plugins = manager_->pluginArray();
  if (index.row() < 0 || index.row() >= plugins.size()) return false;
  // The list is sorted again once the editor has let go of the row.
  if (!manager_->renamePlugin(plugins.at(index.row()), value.toString(), false)) return false;
  QMetaObject::invokeMethod(
      this, [this] { manager_->reloadLists(); }, Qt::QueuedConnection);
  return true;
}

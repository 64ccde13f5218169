#include "app/plugins/manager/QKPMPotentialListController.h"

#include "app/plugins/manager/QKPluginManager.h"
#include "framework/toolkit/QKNSTableView.h"

QKPMPotentialListController::QKPMPotentialListController(QKPluginManager* manager)
    : manager_(manager) {}

void QKPMPotentialListController::awakeFromNib(QKNSTableView* view) {
  view->setModel(this);
  connect(view, &QAbstractItemView::doubleClicked, this, [this] { doubleActionTaken(); });
}

void QKPMPotentialListController::reload() {
  beginResetModel();
  endResetModel();
}

void QKPMPotentialListController::doubleActionTaken() { manager_->instantiateSelectedPlugin(); }

int QKPMPotentialListController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(manager_->sortedPluginClassKeys().size());
}

QVariant QKPMPotentialListController::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole) return {};
  const QStringList keys = manager_->sortedPluginClassKeys();
  return index.row() >= 0 && index.row() < keys.size() ? QVariant(keys.at(index.row()))
                                                       : QVariant();
}

#include "app/plugins/sliders/SliderListController.h"

#include "app/plugins/sliders/Sliders.h"
#include "framework/controls/QKSliderControl.h"

SliderListController::SliderListController(Sliders* sliders) : sliders_(sliders) {}

void SliderListController::update() {
  beginResetModel();
  endResetModel();
}

int SliderListController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(sliders_->sliderArray().size());
}

QVariant SliderListController::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const QList<QKSliderControl*> sliders = sliders_->sliderArray();
  if (index.row() < 0 || index.row() >= sliders.size()) return {};
  return sliders.at(index.row())->sliderName();
}

Qt::ItemFlags SliderListController::flags(const QModelIndex& index) const {
  return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}

bool SliderListController::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole) return false;
  if (!sliders_->renameSlider(index.row(), value.toString())) return false;
  Q_EMIT dataChanged(index, index);
  return true;
}

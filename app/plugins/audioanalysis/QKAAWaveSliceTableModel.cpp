#include "app/plugins/audioanalysis/QKAAWaveSliceTableModel.h"

#include "app/plugins/audioanalysis/QKAAOpenGLWaveView.h"

int QKAAWaveSliceTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : view_.numberOfRows();
}

int QKAAWaveSliceTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : QKAAOpenGLWaveView::kColumnCount;
}

QVariant QKAAWaveSliceTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return view_.objectValue(index.column(), index.row());
}

QVariant QKAAWaveSliceTableModel::headerData(int section, Qt::Orientation orientation,
                                             int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const titles[] = {"Name", "Hz", "Octaves", "Smoothing"};
  return section >= 0 && section < QKAAOpenGLWaveView::kColumnCount
             ? QString::fromLatin1(titles[section])
             : QVariant();
}

Qt::ItemFlags QKAAWaveSliceTableModel::flags(const QModelIndex& index) const {
  return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool QKAAWaveSliceTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole) return false;
  const bool changed = view_.setObjectValue(value, index.column(), index.row());
  Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
  return changed;
}

void QKAAWaveSliceTableModel::reload() {
  beginResetModel();
  endResetModel();
}

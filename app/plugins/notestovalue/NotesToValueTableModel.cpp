#include "app/plugins/notestovalue/NotesToValueTableModel.h"

#include "app/plugins/notestovalue/NotesToValue.h"

NotesToValueTableModel::NotesToValueTableModel(NotesToValue* plugin, QObject* parent)
    : QAbstractTableModel(parent), plugin_(plugin) {}

int NotesToValueTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : plugin_->shortcutCount();
}

int NotesToValueTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant NotesToValueTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return plugin_->objectValue(index.row(), index.column());
}

bool NotesToValueTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  if (!plugin_->setObjectValue(index.row(), index.column(), value)) return false;
  Q_EMIT dataChanged(index, index);
  return true;
}

QVariant NotesToValueTableModel::headerData(int section, Qt::Orientation orientation,
                                            int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case CellNumber:
      return QStringLiteral("#");
    case Shortcut:
      return QStringLiteral("Shortcut");
    case Value:
      return QStringLiteral("Value");
    default:
      return {};
  }
}

Qt::ItemFlags NotesToValueTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (index.column() == Value && !plugin_->autoSpace()) flags |= Qt::ItemIsEditable;
  return flags;
}

void NotesToValueTableModel::reload() {
  beginResetModel();
  endResetModel();
}

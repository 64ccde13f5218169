#include "app/plugins/multiplexer/MultiplexerTableModel.h"

#include "app/plugins/multiplexer/QKMultiplexerPlugin.h"
#include "app/plugins/multiplexer/QKNSHardwareLearnTableView.h"

MultiplexerTableModel::MultiplexerTableModel(QKMultiplexerPlugin* plugin, QObject* parent)
    : QAbstractTableModel(parent), plugin_(plugin) {}

int MultiplexerTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : plugin_->numberOfRows();
}

int MultiplexerTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : QKMultiplexerPlugin::ColumnCount;
}

QVariant MultiplexerTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const QVariant value = plugin_->objectValue(index.row(), index.column());
  switch (index.column()) {
    case QKMultiplexerPlugin::SourceColumn: {
      if (role == Qt::EditRole) return value;
      if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
      const int listed = value.isValid() ? value.toInt() : -1;
      const auto& items = plugin_->sourceMenuItems();
      if (listed < 0 || listed >= int(items.size())) return QString();
      // The whole path: a title alone ("X") does not tell the mouse from a remote.
      return items[size_t(listed)].toolTip;
    }
    case QKMultiplexerPlugin::ShortcutColumn:
      return role == Qt::DisplayRole ? value : QVariant();
    case QKMultiplexerPlugin::CurrentColumn:
      if (role == Qt::CheckStateRole) return value.toInt() == 1 ? Qt::Checked : Qt::Unchecked;
      return role == Qt::EditRole ? value : QVariant();
    default:
      return {};
  }
}

bool MultiplexerTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid()) return false;
  if (index.column() == QKMultiplexerPlugin::CurrentColumn && role != Qt::CheckStateRole &&
      role != Qt::EditRole)
    return false;
  if (index.column() == QKMultiplexerPlugin::SourceColumn && role != Qt::EditRole) return false;
  plugin_->setObjectValue(index.row(), index.column(), value);
  return true;
}

QVariant MultiplexerTableModel::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == QKNSHardwareLearnTableView::kIdentifierRole)
    return section == QKMultiplexerPlugin::ShortcutColumn
               ? QVariant(QKNSHardwareLearnTableView::kShortcutIdentifier)
               : QVariant();
  if (role != Qt::DisplayRole) return {};
  switch (section) {
    case QKMultiplexerPlugin::SourceColumn:
      return QStringLiteral("Source");
    case QKMultiplexerPlugin::ShortcutColumn:
      return QStringLiteral("Shortcut");
    case QKMultiplexerPlugin::CurrentColumn:
      return QString();
    default:
      return {};
  }
}

Qt::ItemFlags MultiplexerTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (index.column() == QKMultiplexerPlugin::SourceColumn) flags |= Qt::ItemIsEditable;
  if (index.column() == QKMultiplexerPlugin::CurrentColumn) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

void MultiplexerTableModel::reload() {
  beginResetModel();
  endResetModel();
}

#include "app/plugins/output/OutputTableModel.h"

#include "app/plugins/output/OutputPlugin.h"
#include "framework/datasource/DataSourceMenuAdapter.h"

#include <QComboBox>
#include <QStandardItemModel>

OutputTableModel::OutputTableModel(OutputPlugin* plugin) : plugin_(plugin) {}

void OutputTableModel::update() {
  beginResetModel();
  endResetModel();
}

int OutputTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(plugin_->items().size());
}

int OutputTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1 + static_cast<int>(plugin_->columnTitles().size());
}

QVariant OutputTableModel::data(const QModelIndex& index, int role) const {
  if (index.row() < 0 || index.row() >= rowCount()) return {};
  if (index.column() == 0) {
    const int listed = plugin_->dataSourceIndexOfRow(index.row());
    if (role == Qt::EditRole) return listed;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const KeyPath path = plugin_->items()[index.row()]->syncArray();
    if (role == Qt::ToolTipRole) return path.join(QLatin1Char('/'));
    if (listed >= 0) return plugin_->dataSourceItems()[listed].title.trimmed();
    return path.isEmpty() ? QVariant() : QVariant(path.last());
  }
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return plugin_->cellValue(index.row(), index.column() - 1);
}

QVariant OutputTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == 0) return QStringLiteral("Source");
  const QStringList titles = plugin_->columnTitles();
  return section - 1 < titles.size() ? QVariant(titles.at(section - 1)) : QVariant();
}

Qt::ItemFlags OutputTableModel::flags(const QModelIndex& index) const {
  return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool OutputTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || index.row() < 0 || index.row() >= rowCount()) return false;
  if (index.column() == 0) {
    bool number = false;
    const int listIndex = value.toInt(&number);
    if (!number) return false;
    plugin_->outputItemToldToUseDSAtIndex(index.row(), listIndex);
    return true;
  }
  return plugin_->setCellValue(index.row(), index.column() - 1, value);
}

OutputSourceDelegate::OutputSourceDelegate(OutputPlugin* plugin, QObject* parent)
    : QStyledItemDelegate(parent), plugin_(plugin) {}

QWidget* OutputSourceDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
  if (index.column() != 0) return QStyledItemDelegate::createEditor(parent, option, index);
  auto* box = new QComboBox(parent);
  box->setFont(DataSourceMenuAdapter::itemFont());
  auto* model = qobject_cast<QStandardItemModel*>(box->model());
  for (const DataSourceMenuItem& item : plugin_->dataSourceItems()) {
    box->addItem(item.title);
    if (model && (item.keyPath.isEmpty() || !item.enabled))
      model->item(box->count() - 1)->setEnabled(false);
  }
  return box;
}

void OutputSourceDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  if (auto* box = qobject_cast<QComboBox*>(editor))
    box->setCurrentIndex(index.data(Qt::EditRole).toInt());
  else
    QStyledItemDelegate::setEditorData(editor, index);
}

void OutputSourceDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                        const QModelIndex& index) const {
  if (auto* box = qobject_cast<QComboBox*>(editor))
    model->setData(index, box->currentIndex(), Qt::EditRole);
  else
    QStyledItemDelegate::setModelData(editor, model, index);
}

#include "app/plugins/multiplexer/MultiplexerSourceCell.h"

#include "app/plugins/multiplexer/QKMultiplexerPlugin.h"
#include "framework/datasource/DataSourceMenuAdapter.h"

#include <QComboBox>
#include <QStandardItemModel>

MultiplexerSourceCell::MultiplexerSourceCell(QKMultiplexerPlugin* plugin, QObject* parent)
    : QKFallThruPopUpButtonCell(parent), plugin_(plugin) {}

QWidget* MultiplexerSourceCell::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                             const QModelIndex&) const {
  auto* box = new QComboBox(parent);
  box->setFont(DataSourceMenuAdapter::itemFont());
  auto* model = qobject_cast<QStandardItemModel*>(box->model());
  for (const DataSourceMenuItem& item : plugin_->sourceMenuItems()) {
    box->addItem(item.title);
    box->setItemData(box->count() - 1, item.toolTip, Qt::ToolTipRole);
    if (model && !item.enabled) model->item(box->count() - 1)->setEnabled(false);
  }
  return box;
}

void MultiplexerSourceCell::setEditorData(QWidget* editor, const QModelIndex& index) const {
  auto* box = qobject_cast<QComboBox*>(editor);
  if (!box) return;
  const int listed = index.data(Qt::EditRole).toInt();
  box->setCurrentIndex(listed >= 0 && listed < box->count() ? listed : -1);
  box->showPopup();
}

void MultiplexerSourceCell::setModelData(QWidget* editor, QAbstractItemModel* model,
                                         const QModelIndex& index) const {
  auto* box = qobject_cast<QComboBox*>(editor);
  if (box && box->currentIndex() >= 0) model->setData(index, box->currentIndex(), Qt::EditRole);
}

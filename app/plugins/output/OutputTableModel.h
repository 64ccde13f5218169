#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

class OutputPlugin;

// The rows of an output plug-in: the data-source column (edited with a list
// of the data sources), then the plug-in's own columns. Main thread only.
class OutputTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit OutputTableModel(OutputPlugin* plugin);

  void update();
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // The source column takes the list index; the others what the plug-in
  // accepts.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  OutputPlugin* plugin_;
};

// The source column's editor: a combo box of the data-source list, its
// headings disabled.
class OutputSourceDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  OutputSourceDelegate(OutputPlugin* plugin, QObject* parent);
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;

 private:
  OutputPlugin* plugin_;
};

#pragma once

#include <QAbstractTableModel>

class NotesToValue;

// The shortcut list of a notes-to-value plug-in: row number, shortcut name
// and value. Values are editable only while automatic spacing is off.
class NotesToValueTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { CellNumber = 0, Shortcut = 1, Value = 2, ColumnCount = 3 };

  explicit NotesToValueTableModel(NotesToValue* plugin, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void reload();

 private:
  NotesToValue* plugin_;
};

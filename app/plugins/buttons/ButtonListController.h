#pragma once

#include <QAbstractTableModel>

class Buttons;

// The list of a Buttons plug-in's options sheet: one row per button in grid
// order; the columns are the name, the toggle flag, the exclusion flag and
// the exclusion group, each edited in place. Main thread only.
class ButtonListController : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { Name, Toggle, Mutex, Group, ColumnCount };

  explicit ButtonListController(Buttons* buttons);

  void update();
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  Buttons* buttons_;
};

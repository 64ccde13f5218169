#pragma once

#include <QAbstractTableModel>
#include <QVariantList>
#include <QVector>

#include <functional>

// The preset table's rows over the preset manager's records: three columns
// (name, kind, index), arranged by the sort column, by "QKPMIndexKey"
// unless the performer clicked another header. Rows are reordered by
// dragging (only while arranged by index) and deleted; both renumber the
// records 0 … n−1 in row order. Only names are editable. Main thread only.
class PMTableDelegate : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { NameColumn = 0, TypeColumn = 1, IndexColumn = 2 };
  static constexpr char kDragType[] = "application/x-qkpm-preset-drag";
  // The trigger image at the left of every name cell.
  static constexpr int kTriggerImageWidth = 18;

  explicit PMTableDelegate(QVariantList* records, QObject* parent = nullptr);

  // The records changed from outside: arrange again.
  void rearrange();
  // Positions into the records, in row order.
  const QVector<int>& arranged() const { return arranged_; }
  int sortColumn() const { return sortColumn_; }
  bool sortedByIndex() const { return sortColumn_ == IndexColumn && ascending_; }

  // --- Reordering (a drag of `row`, dropped above `dropRow`) ---
  bool startDrag(int row);
  int draggedRow() const { return draggedRow_; }
  bool validateDrop(int dropRow, bool above) const;
  bool acceptDrop(int dropRow);
  bool didDepositRow(int from, int to);
  void updatePresetIndices();
  // Removes the records at these rows, then renumbers.
  void deleteRows(QList<int> rows);
  // The recall a double click outside the name column asks for.
  void setDoubleAction(std::function<void()> action) { doubleAction_ = std::move(action); }
  void doubleActionTaken();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  void sort(int column, Qt::SortOrder order) override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
  Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

 Q_SIGNALS:
  // A name was edited in its cell.
  void nameEdited();

 private:
  QVector<int> arrange() const;

  QVariantList* records_;
  QVector<int> arranged_;
  int sortColumn_ = IndexColumn;
  bool ascending_ = true;
  mutable int draggedRow_ = -1;
  std::function<void()> doubleAction_;
};

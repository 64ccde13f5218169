#pragma once

#include <QAbstractListModel>

class CIFilterListController;
class QAbstractItemView;

// The rows of one of the effects browser's two tables, as the browser
// answers them for that table: the shown text, the tool tip and, for the
// effect table, the dragged effect. Main thread only.
class FilterListTableModel : public QAbstractListModel {
  Q_OBJECT
 public:
  FilterListTableModel(CIFilterListController* controller, QAbstractItemView* table);

  // The browser's answers changed: the table asks again (its selection goes).
  void reload();

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

 private:
  CIFilterListController* controller_;
  QAbstractItemView* table_;
};

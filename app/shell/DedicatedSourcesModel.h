#pragma once

#include "app/shell/DedicatedSourcesEditor.h"

#include <QAbstractTableModel>

// The dedicated table of an input preference pane: column 0 the raw input's
// name, column 1 its published name, both editable. Edits go through the
// editor; what it refuses is announced with its reason (`problem`).
// Main thread only.
class DedicatedSourcesModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kRawColumn, kPublishedColumn };

  DedicatedSourcesModel(DedicatedSourcesEditor& editor, QString rawTitle,
                        QObject* parent = nullptr);

  // Rebuilds the rows from the manager's mapping.
  void reload();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 Q_SIGNALS:
  void problem(const QString& reason);

 private:
  DedicatedSourcesEditor& editor_;
  const QString rawTitle_;
};

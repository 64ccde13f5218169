#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class PrefsController;
class QTableView;

// The list of panes of the preferences window: nine fixed titles; choosing
// one shows its pane.
class PrefsListController : public QAbstractTableModel {
  Q_OBJECT
 public:
  static const QStringList& titles();

  PrefsListController(QTableView* tableView, PrefsController* prefsController);

  int numberOfRowsInTableView() const { return int(titles().size()); }
  // The row's title; "nil" past the last row.
  static QString titleForRow(int row);
  void tableViewSelectionDidChange();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  QTableView* tableView_;
  PrefsController* prefsController_;
};

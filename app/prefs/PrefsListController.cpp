#include "app/prefs/PrefsListController.h"

#include "app/prefs/PrefsController.h"

#include <QItemSelectionModel>
#include <QTableView>

const QStringList& PrefsListController::titles() {
  static const QStringList list = {QStringLiteral("File Loading"),  QStringLiteral("FX Settings"),
                                   QStringLiteral("MIDI"),          QStringLiteral("OSC"),
                                   QStringLiteral("Output"),        QStringLiteral("Sliders"),
                                   QStringLiteral("User Paths"),    QStringLiteral("Colors"),
                                   QStringLiteral("Movie Playback")};
  return list;
}

PrefsListController::PrefsListController(QTableView* tableView, PrefsController* prefsController)
    : QAbstractTableModel(tableView), tableView_(tableView), prefsController_(prefsController) {}

QString PrefsListController::titleForRow(int row) {
  return row >= 0 && row < titles().size() ? titles().at(row) : QStringLiteral("nil");
}

// Nothing selected keeps the pane that is shown.
void PrefsListController::tableViewSelectionDidChange() {
  const QModelIndexList rows = tableView_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  prefsController_->displayPrefsForIndex(rows.first().row());
}

int PrefsListController::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : numberOfRowsInTableView();
}

int PrefsListController::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1;
}

QVariant PrefsListController::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return titleForRow(index.row());
}

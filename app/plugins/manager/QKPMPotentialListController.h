#pragma once

#include <QAbstractListModel>

class QKNSTableView;
class QKPluginManager;

// The potential list of the plug-in manager: one row per registered type, in
// case-insensitive order; a double click makes a plug-in of the selected
// type. Main thread only.
class QKPMPotentialListController : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit QKPMPotentialListController(QKPluginManager* manager);

  // Becomes the view's model and takes its double clicks.
  void awakeFromNib(QKNSTableView* view);
  void reload();
  void doubleActionTaken();

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  QKPluginManager* manager_;
};

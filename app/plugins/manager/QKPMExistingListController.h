#pragma once

#include "framework/toolkit/ActiveDeleteDelegate.h"

#include <QAbstractListModel>

class ActiveDeleteTableView;
class QKPluginManager;
class QKTextImageCell;

// The existing list of the plug-in manager: one row per live plug-in, its
// instance name, edited in place to rename it. The delete image of a row and
// the Delete key delete the selected plug-ins (a click on the image of a row
// that is not selected selects it first). Main thread only.
class QKPMExistingListController : public QAbstractListModel, public ActiveDeleteDelegate {
  Q_OBJECT
 public:
  explicit QKPMExistingListController(QKPluginManager* manager);

  // Becomes the view's model, its cell (with the delete image) and its delete
  // delegate.
  void awakeFromNib(ActiveDeleteTableView* view);
  void reload();
  void deleteRowPressed(int row);
  void deleteKeyPressed() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // A rename; false when refused (the old name stays).
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  QKPluginManager* manager_;
  ActiveDeleteTableView* view_ = nullptr;
  QKTextImageCell* cell_ = nullptr;
};

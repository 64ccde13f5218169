#pragma once

#include "framework/toolkit/ActiveDeleteDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QAbstractTableModel>

#include <memory>
#include <vector>

class BehaviorChainManager;
class BehaviorChainWindow;
class BehaviorFXChain;
class QMimeData;

// The chain window's list: the model of its table (one row per chain of
// the window, the name in the one column), its delete delegate, and the
// chain drags. New chains are named "untitled %ld" with the first number no
// chain of any window has; a rename to an empty or used name is dropped; a
// dragged chain (carried weakly) is reordered within its window or moved,
// last, into another window. The table reloads on
// "QKBehaviorChainNotification". Main thread only.
class BehaviorChainListController : public QAbstractTableModel, public ActiveDeleteDelegate {
  Q_OBJECT
 public:
  using ChainPtr = std::shared_ptr<BehaviorFXChain>;

  BehaviorChainListController(BehaviorChainWindow* window, QObject* parent = nullptr);
  ~BehaviorChainListController() override;

  BehaviorChainWindow* behaviorChainWindow() const { return window_; }
  // The row of the last drag started here; −1 before any.
  int draggingRow() const { return draggingRow_; }

  ChainPtr createNewChain();
  void createNewChainAction() { createNewChain(); }
  void deleteKeyPressed() override { deleteSelectedChain(); }
  void deleteSelectedChain();
  // Shows the chain of the first selected row.
  void tableViewSelectionDidChange();
  // The rows follow the window's list again; the visible chain stays
  // selected.
  void reloadData();
  int selectedRow() const;

  // Drags. The drag data for a row (null for no chain there).
  QMimeData* writeRow(int row);
  // Move for a chain drag whose source allows copying (local drags do);
  // Ignore otherwise (logged).
  Qt::DropAction validateDrop(const QMimeData* data, Qt::DropActions sourceActions) const;
  // The drop of a chain above `row` from the table `source`: reordered in
  // its window or moved, last, into this one. False, and nothing changed,
  // without copy in the mask, from a foreign source, or for a chain gone.
  bool acceptDrop(const QMimeData* data, QObject* source, int row, Qt::DropActions sourceActions);

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  Qt::DropActions supportedDropActions() const override;

 private:
  BehaviorChainManager* manager() const;
  QString dragType() const;

  BehaviorChainWindow* window_;
  std::vector<ChainPtr> rows_;
  int draggingRow_ = -1;
  NotificationObservers observers_;
};

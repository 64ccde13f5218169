#pragma once

#include "framework/toolkit/ActiveDeleteTableView.h"

class BehaviorChainListController;

// The chain window's list of chain names: one column, names edited in
// place (a double click), the Delete key to the list controller, rows
// dragged to reorder chains or move them to another chain window.
class BehaviorChainTableView : public ActiveDeleteTableView {
  Q_OBJECT
 public:
  explicit BehaviorChainTableView(QWidget* parent = nullptr);
  BehaviorChainListController* controller() const;
  // The row a drop at `position` goes above (the row count below the rows).
  int dropRowAt(const QPoint& position) const;

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

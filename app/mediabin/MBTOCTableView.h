#pragma once

#include "app/mediabin/MBTOCController.h"
#include "framework/toolkit/ActiveDeleteTableView.h"

// The table of contents' table: starts page drags of its selected rows
// (copies while Alt is held at the press) and hands drops, with the row
// and whether they land on it or above it, to its controller (its model).
class MBTOCTableView : public ActiveDeleteTableView {
  Q_OBJECT
 public:
  explicit MBTOCTableView(QWidget* parent = nullptr);
  MBTOCController* controller() const;

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void target(const QPoint& position, int& row, bool& onRow) const;
  struct DropTarget {
    int row = -1;
    MBTOCController::DropOperation operation = MBTOCController::DropOperation::Above;
    bool copy = false;
    Qt::DropAction action = Qt::IgnoreAction;
  };
  DropTarget dropTarget(const QDropEvent* event) const;
  bool altOnPress_ = false;
};

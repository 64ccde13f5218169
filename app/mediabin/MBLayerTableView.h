#pragma once

#include "framework/toolkit/QKNSTableView.h"

#include <QPoint>
#include <QPointer>

class MBLayerController;

// The layer queue's table: five columns over its controller (the model).
// A click in the next column puts the row on deck; a click in the shortcut
// column starts, ends or clears the row's shortcut learning; in hardware
// learn the first click selects the queue as the learn target, and the
// table is veiled in blue. Rows reorder by dragging within this table
// only ("QKMBLayerDragType").
class MBLayerTableView : public QKNSTableView {
  Q_OBJECT
 public:
  explicit MBLayerTableView(QWidget* parent = nullptr);
  void setController(MBLayerController* controller);
  MBLayerController* controller() const { return controller_; }
  // Column index in x, row in y; -1 where the last click hit none.
  QPoint lastClickedColAndRow() const { return lastClickedColAndRow_; }

  // The drop of `mime` from `source` before `row`: refused (false) unless it
  // carries the queue's type and comes from this controller's table.
  bool acceptDrop(const QMimeData* mime, const QObject* source, int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  int dropRowAt(const QPoint& point) const;

  QPointer<MBLayerController> controller_;
  QPoint lastClickedColAndRow_{-1, -1};
};

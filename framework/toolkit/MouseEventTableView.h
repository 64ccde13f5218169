#pragma once

#include <QTableView>

class QKeyEvent;
class QMouseEvent;
class MouseEventTableView;

// What a MouseEventTableView tells its delegate; both optional.
class MouseEventTableViewDelegate {
 public:
  virtual ~MouseEventTableViewDelegate() = default;
  virtual void tableViewDeleteKeyPressed(MouseEventTableView* view, QKeyEvent* event) {
    (void)view;
    (void)event;
  }
  virtual void tableViewMouseDown(MouseEventTableView* view, QMouseEvent* event) {
    (void)view;
    (void)event;
  }
};

// A plain (unthemed) table that hands its delegate the Delete key (Backspace
// or Delete, instead of the table) and every press of the mouse (before the
// table). Without a delegate it is a plain table. Main thread only.
class MouseEventTableView : public QTableView {
  Q_OBJECT
 public:
  explicit MouseEventTableView(QWidget* parent = nullptr) : QTableView(parent) {}
  void setEventDelegate(MouseEventTableViewDelegate* delegate) { delegate_ = delegate; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  MouseEventTableViewDelegate* delegate_ = nullptr;
};

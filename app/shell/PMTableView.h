#pragma once

#include "framework/toolkit/ActiveDeleteTableView.h"

class PMTableDelegate;

// The preset table: a double click outside the name column recalls the
// selected preset, one in the name column edits the name (the only
// editable column, from the mouse or the keyboard), the Delete key deletes
// the selected presets, and Return ends an edit where it is. It takes the
// interface theme as the program's other tables do, and other keys reach the
// control shortcuts.
class PMTableView : public ActiveDeleteTableView {
  Q_OBJECT
 public:
  explicit PMTableView(PMTableDelegate* delegate, QWidget* parent = nullptr);

  PMTableDelegate* tableDelegate() const { return delegate_; }
  bool wasLastClickADoubleClick() const { return wasLastClickADoubleClick_; }
  bool editing() const { return state() == EditingState; }
  // Arranged rows selected, ascending.
  QList<int> selectedRowList() const;

 Q_SIGNALS:
  void deleteKeyPressed();
  // A click on the name cell's trigger image (after the row is selected).
  void triggerImageClicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

 private:
  PMTableDelegate* delegate_;
  bool wasLastClickADoubleClick_ = false;
};

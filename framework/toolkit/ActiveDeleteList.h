#pragma once

#include "framework/toolkit/ActiveDeleteDelegate.h"

#include <QAbstractItemDelegate>
#include <QKeyEvent>

// A themed list whose Delete key (Backspace or Delete) goes only to its
// delete delegate, press and release alike (the release to no one), and
// whose focus stays on the list when Return or Enter ends the editing of a
// cell. Main thread only.
template <class List>
class ActiveDeleteList : public List {
 public:
  using List::List;

  void setDeleteDelegate(ActiveDeleteDelegate* delegate) { deleteDelegate_ = delegate; }
  ActiveDeleteDelegate* deleteDelegate() const { return deleteDelegate_; }

  static bool isDeleteKey(const QKeyEvent& event) {
    return event.key() == Qt::Key_Backspace || event.key() == Qt::Key_Delete;
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (!isDeleteKey(*event)) return List::keyPressEvent(event);
    if (deleteDelegate_ && !event->isAutoRepeat()) deleteDelegate_->deleteKeyPressed();
    event->accept();
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    if (!isDeleteKey(*event)) return List::keyReleaseEvent(event);
    event->accept();
  }
  // Return and Enter submit (Tab and the like move on, as Qt does).
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
    List::closeEditor(editor, hint);
    if (hint == QAbstractItemDelegate::SubmitModelCache) this->setFocus(Qt::OtherFocusReason);
  }

 private:
  ActiveDeleteDelegate* deleteDelegate_ = nullptr;
};

#include "framework/params/QKNSTextView.h"

#include "framework/toolkit/ControllerFinder.h"

#include <QKeyEvent>

QKNSTextView::QKNSTextView(QWidget* parent) : QPlainTextEdit(parent) {
  connect(this, &QPlainTextEdit::textChanged, this, &QKNSTextView::textChangedWhileFocused);
}

void QKNSTextView::awakeFromNib() {
  title_.clear();
  findDataSourceController(this);
}

void QKNSTextView::textChangedWhileFocused() {
  if (editing_ || !hasFocus()) return;
  editing_ = true;
  if (delegate_) delegate_->textDidBeginEditing();
}

void QKNSTextView::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Enter) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  if (event->modifiers() & Qt::ShiftModifier) {
    clearFocus();  // ends editing, which hands the text on
    if (editing_) {
      editing_ = false;
      if (delegate_) delegate_->textDidEndEditing();
    } else if (delegate_) {
      delegate_->textViewEnterKeyPressed();
    }
    return;
  }
  if (delegate_) delegate_->textViewEnterKeyPressed();
}

void QKNSTextView::mouseDoubleClickEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseDoubleClickEvent(event);
  if (delegate_) delegate_->textViewDoubleClicked();
}

void QKNSTextView::focusOutEvent(QFocusEvent* event) {
  QPlainTextEdit::focusOutEvent(event);
  if (!editing_) return;
  editing_ = false;
  if (delegate_) delegate_->textDidEndEditing();
}

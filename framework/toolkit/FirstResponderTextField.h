#pragma once

#include <QLineEdit>

// A text field that selects all its text a moment (0.1 s) after it takes
// the focus, once a click that focused it has settled.
class FirstResponderTextField : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;

 protected:
  void focusInEvent(QFocusEvent* event) override;
};

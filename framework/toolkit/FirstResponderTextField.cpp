#include "framework/toolkit/FirstResponderTextField.h"

#include <QTimer>

void FirstResponderTextField::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  QTimer::singleShot(100, this, &QLineEdit::selectAll);
}

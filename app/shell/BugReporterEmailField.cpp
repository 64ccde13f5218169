#include "app/shell/BugReporterEmailField.h"

#include "platform/foundation/Alert.h"

BugReporterEmailField::BugReporterEmailField(QWidget* parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textChanged, this, &BugReporterEmailField::textDidChange);
}

void BugReporterEmailField::textDidChange(const QString& text) {
  if (text.size() <= kLongest) return;
  Alert::show(QStringLiteral("Hang on a second...."),
              QStringLiteral("I don't think your email address is that long- this field is for "
                             "your email address, and ONLY your email address..."),
              {QStringLiteral("OK")});
  clear();
}

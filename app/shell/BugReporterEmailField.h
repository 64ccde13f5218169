#pragma once

#include <QLineEdit>

// The bug report's e-mail address: a text longer than 550 characters is
// cleared, with an alert.
class BugReporterEmailField : public QLineEdit {
  Q_OBJECT
 public:
  static constexpr int kLongest = 550;
  explicit BugReporterEmailField(QWidget* parent = nullptr);

 private:
  void textDidChange(const QString& text);
};

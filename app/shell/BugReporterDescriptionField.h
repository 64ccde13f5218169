#pragma once

#include <QPlainTextEdit>

// The bug report's description: typing is free, but a paste is plain text
// of at most 550 characters (a longer one is refused with an alert), and
// nothing can be dropped in.
class BugReporterDescriptionField : public QPlainTextEdit {
  Q_OBJECT
 public:
  static constexpr int kLongestPaste = 550;
  explicit BugReporterDescriptionField(QWidget* parent = nullptr);

 protected:
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
};

#pragma once

#include "framework/datasource/DataSourceControllerClient.h"

#include <QPlainTextEdit>
#include <QString>

// Told by a QKNSTextView of the keys and clicks its text element acts on.
class QKNSTextViewDelegate {
 public:
  virtual ~QKNSTextViewDelegate() = default;
  virtual void textViewEnterKeyPressed() {}
  virtual void textViewDoubleClicked() {}
  virtual void textDidBeginEditing() {}
  virtual void textDidEndEditing() {}
};

// The text view of a text element. The keypad Enter key hands the text on
// and keeps editing; Shift+Enter hands it on and ends editing (the view
// gives up the focus); Return types a new line. A double click selects as
// usual and then tells the delegate. Editing begins with the first change
// while the view has the focus and ends when it loses the focus. Main
// thread only.
class QKNSTextView : public QPlainTextEdit, public DataSourceControllerClient {
  Q_OBJECT
 public:
  explicit QKNSTextView(QWidget* parent = nullptr);

  // Clears the title and asks for the data-source controller.
  void awakeFromNib();
  void setDelegate(QKNSTextViewDelegate* delegate) { delegate_ = delegate; }
  void setDataSourceController(DataSourceController* controller) override {
    dataSourceController_ = controller;
  }
  DataSourceController* dataSourceController() const { return dataSourceController_; }
  void setTitle(const QString& title) { title_ = title; }
  QString title() const { return title_; }
  bool isBeingEdited() const { return editing_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void textChangedWhileFocused();

  QKNSTextViewDelegate* delegate_ = nullptr;
  DataSourceController* dataSourceController_ = nullptr;
  QString title_;
  bool editing_ = false;
};

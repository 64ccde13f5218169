#pragma once

#include <QColor>
#include <QPlainTextEdit>
#include <QPointer>

class Sticky;

// The note's text: one font for the whole note. While the window is locked
// it can be neither focused, typed into nor selected; a click otherwise
// makes its window the active one, so typing reaches the note.
class StickyTextView : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit StickyTextView(Sticky* sticky, QWidget* parent = nullptr);

  bool acceptsFirstResponder() const;
  // Follows the window's lock: editing and focus on or off.
  void lockChanged();
  void setBackgroundColor(const QColor& color);
  // An invalid colour gives the default text colour.
  void setTextColor(const QColor& color);
  QColor backgroundColor() const;
  QColor textColor() const;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  bool locked() const;

  QPointer<Sticky> sticky_;
};

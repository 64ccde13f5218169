#pragma once

#include <QTableView>

// A table that remembers the modifier keys held during its last click, so
// that a selection made with a modifier can lead somewhere else.
class EasterEggTableView : public QTableView {
  Q_OBJECT
 public:
  explicit EasterEggTableView(QWidget* parent = nullptr);
  Qt::KeyboardModifiers modifiersOnClick() const { return modifiersOnClick_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  Qt::KeyboardModifiers modifiersOnClick_ = Qt::NoModifier;
};

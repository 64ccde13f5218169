#pragma once

#include <QWidget>

// A view filled with red: the insertion bar a chain shows while an element
// is dragged over it.
class QKRedView : public QWidget {
  Q_OBJECT
 public:
  explicit QKRedView(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

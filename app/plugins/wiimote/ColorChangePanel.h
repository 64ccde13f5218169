#pragma once

#include <QWidget>

#include <atomic>

// The battery level of a Wii remote: red at 0 through pure yellow at 0.5 to
// green at 1, with the percentage in small black type.
class ColorChangePanel : public QWidget {
  Q_OBJECT
 public:
  explicit ColorChangePanel(QWidget* parent = nullptr);

  // 0..1; redraws.
  void setVal(double level);
  double val() const { return val_; }
  // "%ld%%" of the level, truncated toward zero.
  static QString text(double level);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double val_ = 0.0;
};

#pragma once

#include <QColor>
#include <QToolButton>

// A colour well of the theme editor: shows its colour (alpha over a
// checkerboard); a click opens the colour dialog with alpha, and a chosen
// colour is announced. Main thread.
class ThemeColorWell : public QToolButton {
  Q_OBJECT
 public:
  explicit ThemeColorWell(QWidget* parent = nullptr);

  QColor color() const { return color_; }
  void setColor(const QColor& color);  // shows it; announces nothing
  // Sets the colour as if chosen in the dialog.
  void choose(const QColor& color);

 Q_SIGNALS:
  void colorChosen();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void openDialog();

  QColor color_{Qt::black};
};

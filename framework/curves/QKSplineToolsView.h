#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

// A strip of three curve tool icons (resources/images/QKSplineIcons.xpm);
// a click selects the tool under it, which is highlighted. The tools carry
// no behaviour beyond the selection. Main thread only.
class QKSplineToolsView : public QWidget {
  Q_OBJECT
 public:
  explicit QKSplineToolsView(QWidget* parent = nullptr);

  // The selected tool, 1..3.
  int dragMode() const { return dragMode_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage handleToolImage_;
  const QColor bgColor_ = QColor::fromRgbF(0.3f, 0.3f, 0.3f, 1);
  const QColor frameColor_ = Qt::black;
  const QColor highlightColor_ = QColor::fromRgbF(0, 0.6313726f, 1, 0.4f);
  int dragMode_ = 1;
};

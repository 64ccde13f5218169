#include "framework/toolkit/QKScrollView.h"

#include "framework/toolkit/QKScroller.h"
#include "framework/toolkit/QKWindow.h"

QKScrollView::QKScrollView(QWidget* parent) : QScrollArea(parent) {
  setVerticalScrollBar(new QKScroller(Qt::Vertical));
  setHorizontalScrollBar(new QKScroller(Qt::Horizontal, true));
  const QColor fill = QKWindow::windowFillColor();
  if (fill.isValid()) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, fill);
    setPalette(palette);
    viewport()->setPalette(palette);
  }
  setFrameShape(QFrame::NoFrame);
  setAutoFillBackground(true);
  viewport()->setAutoFillBackground(true);
}

QKScroller* QKScrollView::verticalScroller() const {
  return static_cast<QKScroller*>(verticalScrollBar());
}

QKScroller* QKScrollView::horizontalScroller() const {
  return static_cast<QKScroller*>(horizontalScrollBar());
}

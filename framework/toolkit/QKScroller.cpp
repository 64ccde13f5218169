#include "framework/toolkit/QKScroller.h"

#include "framework/toolkit/QKScrollerStyle.h"

QKScroller::QKScroller(Qt::Orientation orientation, bool arrowsNone, QWidget* parent)
    : QScrollBar(orientation, parent) {
  setStyle(QKScrollerStyle::shared());
  QKScrollerStyle::setArrowsNone(this, arrowsNone);
}

bool QKScroller::arrowsNone() const { return QKScrollerStyle::arrowsNone(this); }

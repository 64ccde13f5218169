#include "framework/fx/QKRedView.h"

#include <QPaintEvent>
#include <QPainter>

QKRedView::QKRedView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QKRedView::paintEvent(QPaintEvent* event) {
  QPainter(this).fillRect(event->rect(), QColor(255, 59, 48));
}

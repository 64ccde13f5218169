#include "framework/params/QKElementBox.h"

#include "framework/datasource/DataSourceMenuAdapter.h"

#include <QPainter>
#include <QResizeEvent>

QKElementBox::QKElementBox(QWidget* parent) : QWidget(parent) { setAutoFillBackground(true); }

QFont QKElementBox::titleFont() { return DataSourceMenuAdapter::itemFont(); }

void QKElementBox::setTitle(const QString& title) {
  if (title == title_) return;
  const bool hadTitle = !title_.isEmpty();
  title_ = title;
  if (hadTitle != !title_.isEmpty()) relayout();
  update();
}

QRect QKElementBox::contentRect() const {
  const int top = title_.isEmpty() ? 0 : kTitleHeight;
  return QRect(0, top, width(), std::max(0, height() - top));
}

void QKElementBox::setLayoutHandler(std::function<void(const QRect&)> handler) {
  layoutHandler_ = std::move(handler);
  relayout();
}

void QKElementBox::relayout() {
  lastRenderedSize_ = size();
  if (layoutHandler_) layoutHandler_(contentRect());
}

void QKElementBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (event->size() != lastRenderedSize_) relayout();
}

void QKElementBox::paintEvent(QPaintEvent*) {
  if (title_.isEmpty()) return;
  QPainter painter(this);
  painter.setFont(titleFont());
  painter.setPen(Qt::white);
  painter.drawText(QRect(2, 0, width() - 4, kTitleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   title_);
}

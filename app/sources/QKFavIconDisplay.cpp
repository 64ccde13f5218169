#include "app/sources/QKFavIconDisplay.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

QKFavIconDisplay::QKFavIconDisplay(QWidget* parent) : QWidget(parent) {}

void QKFavIconDisplay::setImage(const QImage& image) {
  image_ = image;
  update();
}

void QKFavIconDisplay::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (!image_.isNull()) {
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.drawImage(rect(), image_);
  }
}

void QKFavIconDisplay::mousePressEvent(QMouseEvent* event) {
  startURLDrag(event->position().toPoint());
}

QMimeData* QKFavIconDisplay::createDragData() const {
  if (url_.isEmpty()) return nullptr;
  auto* data = new QMimeData;
  data->setUrls({url_});
  return data;
}

QPixmap QKFavIconDisplay::dragImage() const {
  if (!image_.isNull()) return QPixmap::fromImage(image_);
  QPixmap empty(80, 60);
  empty.fill(Qt::transparent);
  return empty;
}

void QKFavIconDisplay::startURLDrag(const QPoint& point) {
  QMimeData* data = createDragData();
  if (!data) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->setPixmap(dragImage());
  drag->setHotSpot(point);
  drag->exec(Qt::CopyAction | Qt::LinkAction);
}

#include "platform/composition/TextImage.h"

#include "platform/gl/PixelUploader.h"

#include <QFont>
#include <QMutex>
#include <QPainter>

#include <algorithm>

namespace composition {

namespace {

QMutex& drawerMutex() {
  static QMutex mutex;
  return mutex;
}

TextImage::Drawer& drawer() {
  static TextImage::Drawer current;
  return current;
}

}  // namespace

QString TextImage::identity() const {
  return QStringLiteral("%1\x1f%2\x1f%3\x1f%4\x1f%5x%6")
      .arg(string, family)
      .arg(pixelSize)
      .arg(colour.name(QColor::HexArgb))
      .arg(size.width())
      .arg(size.height());
}

QImage TextImage::render() const {
  QFont font(family);
  font.setPixelSize(std::clamp(int(std::lround(pixelSize)), 1, 4096));
  Drawer current;
  {
    QMutexLocker lock(&drawerMutex());
    current = drawer();
  }
  return current ? current(string, font, colour, size)
                 : drawWithPainter(string, font, colour, size);
}

TextImage::Drawer TextImage::setDrawer(Drawer replacement) {
  QMutexLocker lock(&drawerMutex());
  return std::exchange(drawer(), std::move(replacement));
}

QImage TextImage::drawWithPainter(const QString& string, const QFont& font, const QColor& colour,
                                  QSize size) {
  QImage canvas(size.expandedTo(QSize(1, 1)), QImage::Format_RGBA8888_Premultiplied);
  canvas.fill(Qt::transparent);
  {
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(canvas.rect(), Qt::AlignCenter, string);
  }
  return gl::PixelUploader::toStraightRGBA(canvas);
}

}  // namespace composition

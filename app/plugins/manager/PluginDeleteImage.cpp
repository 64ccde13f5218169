#include "app/plugins/manager/PluginDeleteImage.h"

#include "platform/foundation/Paths.h"

#include <QImageReader>
#include <QPainter>

namespace {

// The SVG's figure on its 16-unit grid.
QImage drawn() {
  QImage image(PluginDeleteImage::kSide, PluginDeleteImage::kSide,
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(PluginDeleteImage::kSide / 16.0, PluginDeleteImage::kSide / 16.0);
  painter.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.0));
  painter.setBrush(QColor(0xc8, 0xc8, 0xc8));
  painter.drawEllipse(QPointF(8, 8), 7, 7);
  painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 2.0, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(5, 5), QPointF(11, 11));
  painter.drawLine(QPointF(11, 5), QPointF(5, 11));
  return image;
}

}  // namespace

QImage PluginDeleteImage::image() {
  static const QImage cached = [] {
    QImageReader reader(
        Paths::resourcePath(QStringLiteral("images/FXPanelDelete"), QStringLiteral("svg")));
    reader.setScaledSize(QSize(kSide, kSide));
    QImage read = reader.read();
    return read.isNull() ? drawn() : read;
  }();
  return cached;
}

#include "framework/toolkit/PopUpPicture.h"

#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/BezierPathAdditions.h"
#include "framework/toolkit/ThemeDict.h"

#include <QPainter>

PopUpPicture::Paths PopUpPicture::buildPaths(const QRectF& rect) {
  Paths paths{BezierPathAdditions::roundRectPath(rect, 2),
              BezierPathAdditions::popUpArrowBoxPath(rect, 4),
              BezierPathAdditions::popUpArrowPath(rect)};
  paths.frame.closeSubpath();
  paths.arrowBox.closeSubpath();
  return paths;
}

void PopUpPicture::draw(QPainter& painter, const Paths& paths, const QVariantMap& colors,
                        const QString& title, QPointF titleAt, const QImage& image,
                        const QRectF& imageRect) {
  const QColor fill = ThemeDict::color(colors, QStringLiteral("fillColor"), Qt::darkGray);
  const QColor stroke = ThemeDict::color(colors, QStringLiteral("strokeColor"), Qt::gray);
  const QVariantMap text = ThemeDict::map(colors, QStringLiteral("fontAttribs"));
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillPath(paths.frame, fill);
  painter.setRenderHint(QPainter::Antialiasing, true);
  if (!title.isEmpty()) {
    painter.setFont(ThemeDict::font(text, InterfaceColorScheme::kFontAttribute, painter.font()));
    painter.setPen(
        ThemeDict::color(text, InterfaceColorScheme::kForegroundColorAttribute, Qt::black));
    painter.drawText(QRectF(titleAt, QSizeF(paths.frame.boundingRect().width(), 1000)),
                     Qt::AlignLeft | Qt::AlignTop, title);
  }
  if (image.width() > 0 && image.height() > 0 && !imageRect.isEmpty()) {
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.drawImage(imageRect, image, QRectF(0, 0, image.width(), image.width()));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  painter.fillPath(paths.arrowBox, stroke);
  painter.setPen(QPen(stroke, 1.0));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(paths.frame);
  painter.fillPath(paths.arrow, fill);
  painter.restore();
}

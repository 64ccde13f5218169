#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <QVariantMap>

class QPainter;

// The picture shared by the themed pop-up button and the pop-up cell: a
// rounded frame filled with "fillColor", the arrow box at the trailing end
// in "strokeColor", the frame stroked in "strokeColor" and the arrow in
// "fillColor", with the title in "fontAttribs" (pop-up colour dictionary).
// A missing or mistyped colour or font falls back to Qt's.
struct PopUpPicture {
  // The three shapes for a frame rectangle (each closed).
  struct Paths {
    QPainterPath frame;
    QPainterPath arrowBox;
    QPainterPath arrow;
  };
  static Paths buildPaths(const QRectF& rect);

  // Frame and arrow box (antialiasing off), then the title and the image
  // when given (antialiasing on), then the arrow.
  static void draw(QPainter& painter, const Paths& paths, const QVariantMap& colors,
                   const QString& title, QPointF titleAt, const QImage& image,
                   const QRectF& imageRect);
};

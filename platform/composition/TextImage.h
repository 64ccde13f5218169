#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace composition {

// What a text node draws: a string in a font family at a size (pixels) and
// colour, centred on one line on a transparent canvas of the target's size.
// The drawing is done by the registered string drawer (the render core
// registers its string texture's); without one, by QPainter here.
class TextImage {
 public:
  // Draws `string` in `font` and `colour` into a canvas of `size`: a
  // straight RGBA8888 image, top row first.
  using Drawer = std::function<QImage(const QString& string, const QFont& font,
                                      const QColor& colour, QSize size)>;

  QString string;
  QString family;
  double pixelSize = 24;
  QColor colour = Qt::white;
  QSize size;

  // A text that differs from another draws differently.
  QString identity() const;
  QImage render() const;

  // Replaces the drawer (an empty function restores QPainter's); answers
  // the previous one. Set once at start-up.
  static Drawer setDrawer(Drawer drawer);
  static QImage drawWithPainter(const QString& string, const QFont& font, const QColor& colour,
                                QSize size);
};

}  // namespace composition

#pragma once

#include "platform/image/Image.h"
#include "tests/support/GLTest.h"

#include <QColor>
#include <QImage>
#include <QRectF>

// GL tests of the filter engine; the helpers run on the render thread.
class ImageFixture : public GLTest {
 protected:
  // An image of one straight colour covering `extent` (whole pixels).
  static image::Image solid(const QColor& colour, const QRectF& extent);
  // An image of `picture` (top row first) over (0, 0, width, height).
  static image::Image picture(const QImage& picture);
  // `bounds` of the image, top row first.
  static QImage pixels(const image::Image& image, const QRectF& bounds);
  // The pixel whose lower left corner is (x, y) of the image plane.
  static QColor at(const image::Image& image, double x, double y);
};

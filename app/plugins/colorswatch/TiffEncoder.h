#pragma once

#include <QByteArray>
#include <QImage>

// Baseline TIFF of an image: one uncompressed strip of 8-bit RGBA samples
// (unassociated alpha), little-endian. Empty for a null image.
class TiffEncoder {
 public:
  static QByteArray rgba(const QImage& image);
};

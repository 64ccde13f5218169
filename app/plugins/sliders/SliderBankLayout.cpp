#include "app/plugins/sliders/SliderBankLayout.h"

QSizeF SliderBankLayout::documentSize(int count, int thickness, int spacing, const QSizeF& content,
                                      bool upright) {
  const double extent = double(count) * (thickness + spacing);
  return upright ? QSizeF(extent, content.height()) : QSizeF(content.width(), extent);
}

QRectF SliderBankLayout::frameAt(int index, int thickness, int spacing, const QSizeF& document,
                                 bool upright) {
  const double offset = thickness + double(index) * (thickness + spacing);
  if (upright) return QRectF(document.width() - offset, 0, thickness, document.height());
  return QRectF(0, document.height() - offset, document.width(), thickness);
}

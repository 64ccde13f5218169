#include "app/plugins/buttons/ButtonGridLayout.h"

#include <algorithm>
#include <cmath>

int ButtonGridLayout::rows(int count, int columns) {
  return columns < 1 ? 0 : static_cast<int>(std::ceil(double(count) / double(columns)));
}

QSizeF ButtonGridLayout::documentSize(int count, int columns, int height, int spacing,
                                      const QSizeF& content) {
  const int n = rows(count, columns);
  return QSizeF(content.width(), std::max(0, n * height + (n - 1) * spacing));
}

QRectF ButtonGridLayout::frameAt(int index, int columns, int height, int spacing,
                                 const QSizeF& document) {
  const int k = index % columns;
  const int r = index / columns;
  const double width = (document.width() - double(columns - 1) * spacing) / columns;
  return QRectF((width + spacing) * k, document.height() - ((r + 1) * height + r * spacing), width,
                height);
}

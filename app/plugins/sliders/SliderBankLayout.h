#pragma once

#include <QRectF>
#include <QSizeF>

// Where the sliders of a bank go, in the document view's unflipped
// coordinates (y up). Lying sliders stack from the top, the first at the
// top and the last `spacing` above the bottom; upright ones stand side by
// side from the right, the last `spacing` from the left edge.
class SliderBankLayout {
 public:
  // The document view's size for `count` sliders of `thickness` in a
  // content area of `content`.
  static QSizeF documentSize(int count, int thickness, int spacing, const QSizeF& content,
                             bool upright);
  // Slider `index` in a document of `document` size.
  static QRectF frameAt(int index, int thickness, int spacing, const QSizeF& document,
                        bool upright);
};

#pragma once

#include <QRectF>
#include <QSizeF>

// Where the buttons of a Buttons plug-in go: a grid of `columns`, row by
// row from the top, left to right, in the document view's unflipped
// coordinates (y up).
class ButtonGridLayout {
 public:
  static int rows(int count, int columns);
  // Width: the content's; height: the rows with the spacing between them.
  static QSizeF documentSize(int count, int columns, int height, int spacing,
                             const QSizeF& content);
  static QRectF frameAt(int index, int columns, int height, int spacing, const QSizeF& document);
};

#include "framework/fx/FXChainLayout.h"

#include <cmath>

namespace FXChainLayout {

double stackHeight(const std::vector<double>& panelHeights) {
  if (panelHeights.empty()) return 0;
  double y = 0;
  for (double height : panelHeights) y += std::trunc(height) + 1;
  return y - 1;
}

Result layout(const QSizeF& content, const QSizeF& viewSize,
              const std::vector<QRectF>& panelFrames) {
  Result result;
  const double contentWidth = content.width();
  const double visibleHeight = content.height();
  QSizeF view = viewSize;
  if (view.width() != contentWidth) view.setWidth(contentWidth);

  if (panelFrames.empty()) {
    result.viewFrame = QRectF(0, 0, view.width(), visibleHeight);
    result.boxFrame = result.viewFrame;
    return result;
  }

  // From the last panel (at the bottom) to the first.
  result.panelFrames.resize(panelFrames.size());
  double y = 0;
  for (size_t i = panelFrames.size(); i-- > 0;) {
    const double height = panelFrames[i].height();
    result.panelFrames[i] = QRectF(0, y, std::trunc(contentWidth), height);
    y += std::trunc(height) + 1;
  }
  QSizeF box(contentWidth, y - 1);

  if (visibleHeight > box.height()) {
    const double lift = std::trunc(visibleHeight - box.height());
    box = QSizeF(contentWidth, visibleHeight);
    for (QRectF& frame : result.panelFrames) frame.moveTop(frame.top() + lift);
  } else {
    view = QSizeF(view.width(), box.height());
    box = QSizeF(box.width(), view.height());
  }

  // The view is at least the visible height; the box sits at its top.
  const double w = box.width();
  const double h = box.height();
  if (visibleHeight > h) {
    result.viewFrame = QRectF(0, 0, view.width(), visibleHeight);
    result.boxFrame = QRectF(0, visibleHeight - h, w, h);
  } else if (h > visibleHeight) {
    result.viewFrame = QRectF(0, 0, view.width(), h);
    result.boxFrame = QRectF(0, 0, w, h);
  } else {
    result.viewFrame = QRectF(0, 0, w, h);
    result.boxFrame = QRectF(0, 0, w, h);
  }
  return result;
}

}  // namespace FXChainLayout

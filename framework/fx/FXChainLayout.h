#pragma once

#include <QRectF>
#include <QSizeF>

#include <vector>

// The arithmetic of a chain's panel stack, in the chain view's bottom-left
// coordinates: panels stack from the top in chain order, 1 point apart, each
// as wide as the scroll view's content; a stack shorter than the visible
// height hangs from the top, and an empty chain's view and box fill it.
namespace FXChainLayout {

struct Result {
  std::vector<QRectF> panelFrames;  // in chain order, in the box
  QRectF boxFrame;                  // in the chain view
  QRectF viewFrame;                 // the chain view (the scroll view's document)
};

// `content`: the scroll view's content size (width, visible height);
// `viewSize`: the chain view's size now; `panelFrames`: the panels' frames
// now, in chain order (their heights are kept).
Result layout(const QSizeF& content, const QSizeF& viewSize,
              const std::vector<QRectF>& panelFrames);

// The height of the panel stack alone: heights plus 1 point between them.
double stackHeight(const std::vector<double>& panelHeights);

}  // namespace FXChainLayout

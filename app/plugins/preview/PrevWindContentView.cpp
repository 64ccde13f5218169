#include "app/plugins/preview/PrevWindContentView.h"

#include "app/plugins/preview/PreviewGeometry.h"

PrevWindContentView::PrevWindContentView(QWidget* parent) : QKWindowContentView(parent) {}

QRectF PrevWindContentView::resizedFrame(const QRectF& clamped) const {
  if (!resizePreserveAspect_ || !aspectRatio_) return clamped;
  return PreviewGeometry::keepViewAspect(clamped, aspectRatio_());
}

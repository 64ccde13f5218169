#include "app/sources/MovieSourceScratchView.h"

MovieSourceScratchView::MovieSourceScratchView(QWidget* parent)
    : QKSliderControl(MovieSourceScratchCell::create(), parent) {
  setSyncToggleState(true);
}

MovieSourceScratchView* MovieSourceScratchView::createWithFrame(const QRectF& frame,
                                                                QWidget* parent) {
  auto* view = new MovieSourceScratchView(parent);
  view->setFrame(frame);
  return view;
}

MovieSourceScratchCell* MovieSourceScratchView::scratchCell() const {
  return deleted() ? nullptr : static_cast<MovieSourceScratchCell*>(cell());
}

#include "app/compositor/QKCollapsibleBoxManager.h"

#include "app/compositor/QKCollapsibleBox.h"

namespace {
constexpr double kTopMargin = 20.0 + 28.0 + 4.0;  // title bar, tab strip, gap
constexpr double kBottomMargin = 16.0;
constexpr double kGap = 4.0;
}  // namespace

QKCollapsibleBoxManager::Layout QKCollapsibleBoxManager::layout(double windowHeight,
                                                                const QRectF& top,
                                                                const QRectF& bottom,
                                                                const QRectF& holder) {
  const double t = top.height();
  const double b = bottom.height();
  Layout result;
  result.top = QRectF(bottom.x(), windowHeight - kTopMargin - t, top.width(), t);
  result.bottom = QRectF(bottom.x(), kBottomMargin, bottom.width(), b);
  const double holderY = b + kBottomMargin + kGap;
  result.holder = QRectF(holder.x(), holderY, holder.width(),
                         (windowHeight - kTopMargin - t) - (b + kBottomMargin) - 2 * kGap);
  return result;
}

void QKCollapsibleBoxManager::update() {
  if (collapsed_ && collapsed_()) return;
  if (!top_ || !bottom_ || !windowHeight_) return;
  const Layout frames = layout(windowHeight_(), top_->frame(), bottom_->frame(),
                               holderFrame_ ? holderFrame_() : QRectF());
  top_->setFrameOrigin(frames.top.topLeft());
  bottom_->setFrameOrigin(frames.bottom.topLeft());
  if (setHolderFrame_) setHolderFrame_(frames.holder);
  if (resizeChain_) resizeChain_();
}

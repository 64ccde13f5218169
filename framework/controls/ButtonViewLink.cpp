#include "framework/controls/ButtonViewLink.h"

#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "platform/foundation/MainThread.h"

ButtonViewLink::ButtonViewLink(QKButton* view, std::weak_ptr<QKButtonCell> cell)
    : view_(view), cell_(std::move(cell)), repaint_(view) {}

void ButtonViewLink::setNeedsDisplay() {
  if (!deleted()) repaint_.request();
}

void ButtonViewLink::toggle() {
  if (deleted()) return;
  const auto cell = cell_.lock();
  if (!cell) return;
  cell->toggle();
  if (cell->buttonType() == 0) requestFlash();
}

// The guard is copied on the calling thread (only its reference count is
// touched) and read on the main thread, where the widget dies.
void ButtonViewLink::requestFlash() {
  if (flashPending_.exchange(true)) return;
  QPointer<QKButton> guard = view_;
  MainThread::post([self = shared_from_this(), guard] {
    self->flashPending_.store(false);
    if (guard) guard->mainThreadToggleMethod();
  });
}

QRectF ButtonViewLink::bounds() const { return view_ ? QRectF(view_->rect()) : QRectF(); }

void ButtonViewLink::addSubButton(const std::shared_ptr<QKButtonCell>& cell, const QRectF& frame) {
  if (view_) view_->addSubButton(cell, frame);
}

void ButtonViewLink::removeSubButton(const std::shared_ptr<QKButtonCell>& cell) {
  if (view_) view_->removeSubButton(cell);
}

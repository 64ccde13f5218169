#include "framework/toolkit/TitleBarOnlyExpandedLevelView.h"

#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"

#include <QEvent>

TitleBarOnlyExpandedLevelView::TitleBarOnlyExpandedLevelView(QWidget* parent)
    : TitleBarLevelView(parent) {}

void TitleBarOnlyExpandedLevelView::setActive(bool active) {
  if (active == active_) return;
  active_ = active;
  update();
}

void TitleBarOnlyExpandedLevelView::windowDidResize(const QKWindowContentView* view) {
  if (!view) return;
  const bool wanted = wantsActive(view->collapsed());
  if (wanted != active_) setActive(wanted);
}

QColor TitleBarOnlyExpandedLevelView::inactiveColor() const {
  const QKWindowContentView* view = contentView();
  return view ? view->titleBarColor() : QColor(Qt::black);
}

QKWindowContentView* TitleBarOnlyExpandedLevelView::contentView() const {
  auto* palette = qobject_cast<QKWindow*>(window());
  return palette ? palette->contentView() : nullptr;
}

// The palette window is the top-level widget, known once the meter is placed;
// the meter takes the palette's state when it is shown.
bool TitleBarOnlyExpandedLevelView::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show) {
    watchWindow();
    windowDidResize(contentView());
  }
  return TitleBarLevelView::event(event);
}

bool TitleBarOnlyExpandedLevelView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == watchedWindow_ && event->type() == QEvent::Resize) windowDidResize(contentView());
  return TitleBarLevelView::eventFilter(watched, event);
}

void TitleBarOnlyExpandedLevelView::watchWindow() {
  QWidget* top = window() == this ? nullptr : window();
  if (top == watchedWindow_) return;
  if (watchedWindow_) watchedWindow_->removeEventFilter(this);
  watchedWindow_ = top;
  if (top) top->installEventFilter(this);
}

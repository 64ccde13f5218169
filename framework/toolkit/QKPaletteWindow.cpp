#include "framework/toolkit/QKPaletteWindow.h"

#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/QKWindowDelegate.h"

QKPaletteWindow::QKPaletteWindow(const QRectF& frame, QWidget* parent) : QKWindow(frame, parent) {
  observers_.observe(QString::fromLatin1(PaletteNotifications::PalettesToDefaultLocation), nullptr,
                     [this](const Notification&) { moveToDefLocNotification(); });
}

void QKPaletteWindow::moveToDefLocNotification() {
  if (contentView()) contentView()->moveWindowToDefaultLocation();
  if (!isVisible()) makeKeyAndOrderFront();
}

void QKPaletteWindow::selectedInWindowMenu() {
  if (isVisible()) {
    hide();
  } else {
    QKWindow::selectedInWindowMenu();
  }
  NotificationCenter::defaultCenter().post(QString::fromLatin1(PaletteNotifications::ReloadMenu));
}

std::optional<int> QKPaletteWindow::paletteStackOrder() const {
  return delegate() ? delegate()->paletteStackOrder() : std::nullopt;
}

void QKPaletteWindow::prepareToBeDeleted() {
  observers_.clear();
  QKWindow::prepareToBeDeleted();
}

#pragma once

#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/NotificationObservers.h"

#include <optional>

// The window of a fixed palette (inspectors, clock, managers): goes back to
// its default place when a new project starts, is shown and hidden from its
// Window-menu entry, and is ordered in that menu by its controller's
// paletteStackOrder.
class QKPaletteWindow : public QKWindow {
  Q_OBJECT
 public:
  explicit QKPaletteWindow(const QRectF& frame = {}, QWidget* parent = nullptr);

  void moveToDefLocNotification();
  // A visible palette hides; a hidden one comes forward. The menu reloads.
  void selectedInWindowMenu() override;
  // The delegate's answer; none without a delegate.
  std::optional<int> paletteStackOrder() const;
  // The order belongs to the controller: nothing to set here.
  void setPaletteStackOrder(std::optional<int>) {}
  void prepareToBeDeleted() override;

 private:
  NotificationObservers observers_;
};

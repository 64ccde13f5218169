#pragma once

#include "app/compositor/FullscreenDisplaysUIController.h"

#include <QWidget>

// The small "Fullscreen Displays" window that holds the display chooser
// (the screen map above its toggles) until the preferences window does.
class FullscreenDisplaysWindow : public QWidget {
  Q_OBJECT
 public:
  explicit FullscreenDisplaysWindow(FullscreenDisplaysUIController::FlagsHandler handFlags);
  FullscreenDisplaysUIController* chooser() const { return chooser_; }

 private:
  FullscreenDisplaysUIController* chooser_;
};

#pragma once

#include <QList>
#include <QRect>

#include <functional>

// The frames of the screens in the virtual desktop (Qt's global
// coordinates, y down), the primary screen first: screen 0 is the one the
// design calls the screen with the menu bar. Tests inject their own list.
class ScreenList {
 public:
  using Provider = std::function<QList<QRect>()>;

  static QList<QRect> frames();
  // An empty provider goes back to Qt's screens.
  static void setProvider(Provider provider);
  // Qt's screens, primary first.
  static QList<QRect> systemFrames();
};

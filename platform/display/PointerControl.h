#pragma once

#include <QPoint>
#include <QSize>

#include <memory>

// The system pointer as the Wii remote's mouse mode drives it: the main
// display's size in pixels and moving the pointer to a pixel of it (from
// the top left). Main thread.
class PointerControl {
 public:
  virtual ~PointerControl() = default;
  virtual QSize mainDisplayPixels() const = 0;
  // False where the platform does not let a program move the pointer
  // (Wayland).
  virtual bool moveTo(QPoint pixel) = 0;

  // QCursor on the primary screen.
  static std::unique_ptr<PointerControl> system();
};

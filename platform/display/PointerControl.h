#pragma once

#include <QPoint>
#include <QSize>

#include <memory>

// The system pointer as the Wii remote's mouse mode and the movie panel's
// scratch strip drive it: the main display's size in pixels, where the
// pointer is and moving it to a pixel of it (from the top left), and hiding
// it. Main thread.
class PointerControl {
 public:
  virtual ~PointerControl() = default;
  virtual QSize mainDisplayPixels() const = 0;
  // Where the pointer is, in the main display's pixels from its top left.
  virtual QPoint position() const = 0;
  // False where the platform does not let a program move the pointer
  // (Wayland).
  virtual bool canMove() const = 0;
  // False when the move did not take.
  virtual bool moveTo(QPoint pixel) = 0;
  // Hiding twice hides once; showing a pointer this object did not hide
  // does nothing.
  virtual void hide() = 0;
  virtual void show() = 0;
  virtual bool hidden() const = 0;

  // QCursor on the primary screen; hidden by a blank override cursor, which
  // the object takes back when it is destroyed.
  static std::unique_ptr<PointerControl> system();
};

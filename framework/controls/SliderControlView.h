#pragma once

#include <QRectF>

// What a slider cell needs of the view that shows it. The view owns its
// cell and detaches itself (`setControlView(nullptr)`) before it goes away.
// Every call comes on the main thread: redraws requested on other threads
// are coalesced and handed to the main thread by the cell.
class SliderControlView {
 public:
  virtual ~SliderControlView() = default;

  virtual QRectF bounds() const = 0;
  virtual QRectF frame() const = 0;
  // The visible part of the view in screen coordinates.
  virtual QRectF absVisibleRect() const = 0;
  virtual void setNeedsDisplay() = 0;
};

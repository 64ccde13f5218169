#pragma once

#include <QRectF>

// What a slider cell needs of the view that shows it. The view owns its
// cell and detaches itself (`setControlView(nullptr)`) before it goes away.
// Calls come on the main thread, except `absVisibleRect` and
// `toggleButtonsChanged`: redraws requested on other threads are coalesced
// and handed to the main thread by the cell.
class SliderControlView {
 public:
  virtual ~SliderControlView() = default;

  // The bounds in the slider's own coordinates: x along the slider (upwards
  // on a vertical one), so a vertical view answers its height as the width.
  virtual QRectF bounds() const = 0;
  virtual QRectF frame() const = 0;
  // The view's bounds in its window's coordinates.
  virtual QRectF frameInWindow() const { return {}; }
  // The visible part of the view in screen coordinates. Any thread.
  virtual QRectF absVisibleRect() const = 0;
  virtual void setNeedsDisplay() = 0;
  // The toggle buttons were shown, hidden or moved. Any thread: the view
  // places its buttons on the main thread.
  virtual void toggleButtonsChanged() {}
};

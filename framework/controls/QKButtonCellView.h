#pragma once

#include <QRectF>

#include <memory>

class QKButtonCell;

// What a button cell needs of the view that shows it (a QKButton). Every
// call comes on the main thread except `setNeedsDisplay` and `toggle`, which
// come on the thread that changed the cell (the view hands them on to the
// main thread itself). The cell holds its view by shared_ptr, so such a call
// never reaches a view that has gone.
class QKButtonCellView {
 public:
  virtual ~QKButtonCellView() = default;

  // Redraw soon.
  virtual void setNeedsDisplay() {}
  // Whether the view has a toggle of its own (a QKButton flashes a momentary
  // button before it toggles its cell).
  virtual bool respondsToToggle() const { return false; }
  virtual void toggle() {}
  // The view's bounds, in its own coordinates.
  virtual QRectF bounds() const { return {}; }
  // Shows a small button (the "S" sync toggle) inside the view, or removes it.
  virtual void addSubButton(const std::shared_ptr<QKButtonCell>& cell, const QRectF& frame) {
    (void)cell;
    (void)frame;
  }
  virtual void removeSubButton(const std::shared_ptr<QKButtonCell>& cell) { (void)cell; }
};

#pragma once

#include <optional>

class QKWindowContentView;

// The controller of a palette window, asked for what it implements; the
// defaults mean "not implemented".
class QKWindowDelegate {
 public:
  virtual ~QKWindowDelegate() = default;
  // The palette's place in the Window menu (ascending; none sorts first).
  virtual std::optional<int> paletteStackOrder() const { return std::nullopt; }
  // After every collapse and expand of the palette.
  virtual void QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) { (void)view; }
};

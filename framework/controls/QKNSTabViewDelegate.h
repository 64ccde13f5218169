#pragma once

class QKNSTabView;

// The owner of a learnable tab view (a composition panel) that keeps the tab
// view's snapshot with its own state. Called on the main thread.
class QKNSTabViewDelegate {
 public:
  virtual ~QKNSTabViewDelegate() = default;
  // One of the tab buttons changed its binding, trigger settings or "S"
  // toggle: the stored snapshot is out of date.
  virtual void tabViewElementChanged(QKNSTabView& tabView) = 0;
};

#pragma once

class QMenu;

// A controller that owns the contextual menu a control pops up on a right
// click (the button and slider contextual menus). The manager keeps the
// controller as its DSMenuReloading; a control asks it for this interface.
// Main thread only.
class ContextualMenuProvider {
 public:
  virtual ~ContextualMenuProvider() = default;
  // Null when there is no menu to show.
  virtual QMenu* contextualMenu() = 0;
};

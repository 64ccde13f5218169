#pragma once

// A controller that shows the data-source tree in a menu (the slider and
// button contextual menus and source lists) and rebuilds it on request.
// Called on the main thread.
class DSMenuReloading {
 public:
  virtual ~DSMenuReloading() = default;
  virtual void reloadDSContextualMenu() {}
};

#pragma once

#include <vector>

class Layer;

// The layer list as the compositor's layer-set editing reaches it. Main
// thread only.
class LayerListInterface {
 public:
  virtual ~LayerListInterface() = default;
  // The layers of the selected rows, top row first.
  virtual std::vector<Layer*> selectedLayers() const = 0;
  virtual void deselectAll() = 0;
  // Reloads the rows and expands the first one with all it holds.
  virtual void update() = 0;
};

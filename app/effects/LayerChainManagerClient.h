#pragma once

class LayerChainManager;

// What asks for the layer chain manager by posting its finder notification
// with itself as object: the manager answers before the post returns.
class LayerChainManagerClient {
 public:
  virtual ~LayerChainManagerClient() = default;
  virtual void setLayerChainManager(LayerChainManager* manager) = 0;
};

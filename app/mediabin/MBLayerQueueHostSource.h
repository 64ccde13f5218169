#pragma once

#include <memory>

class MBLayerQueueHost;

// Where a media bin finds its layer queue's view of the layers and pages:
// the application controller makes one for each bin. Main thread.
class MBLayerQueueHostSource {
 public:
  virtual ~MBLayerQueueHostSource() = default;
  virtual std::unique_ptr<MBLayerQueueHost> makeLayerQueueHost() = 0;
};

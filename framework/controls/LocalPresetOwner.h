#pragma once

#include <QVariantMap>

// The owner of a local preset strip (a layer window, the step sequencer):
// its state as a dictionary, stored in a preset and given back on recall.
// Called on the main thread.
class LocalPresetOwner {
 public:
  virtual ~LocalPresetOwner() = default;
  virtual QVariantMap createLocalSnapshot() = 0;
  virtual void loadLocalSnapshot(const QVariantMap& snapshot) = 0;
};

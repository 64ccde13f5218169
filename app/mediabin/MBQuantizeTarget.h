#pragma once

#include "app/plugins/clock/QuantizeTriggerTarget.h"

#include <QString>

// What the media bin's quantize picker fires: the whole layer queue
// (`trigger`), or the file pending for one layer (`triggerThisLayer`, when
// that layer's movie ends). `mostRecentLayer` names the layer that was
// given a file last (empty for none). Any thread.
class MBQuantizeTarget : public QuantizeTriggerTarget {
 public:
  virtual void triggerThisLayer(const QString& layerName) = 0;
  virtual QString mostRecentLayer() const = 0;
};

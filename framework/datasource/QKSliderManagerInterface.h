#pragma once

#include "framework/datasource/KeyPath.h"

#include <vector>

class QKSliderCell;

// What the data-source controller asks of the slider manager. The manager
// outlives the controller's tick thread.
class QKSliderManagerInterface {
 public:
  virtual ~QKSliderManagerInterface() = default;

  // Once per tick, on the tick thread, inside the tick's tree read lock.
  virtual void evaluateContinuousBehaviors() = 0;
  // A node now stands at `path`: sliders bound to it may bind again. Called
  // on the thread that changed the tree.
  virtual void wasThisDataSourceDeletedOutFromUnderAnySliders(const KeyPath& path) = 0;
  virtual void reloadDSContextualMenu() = 0;
  virtual void programChangeReceived() = 0;

  virtual void selectOnlyThisSlider(QKSliderCell* slider) = 0;
  virtual void selectThisSliderToo(QKSliderCell* slider) = 0;
  virtual void deselectThisSlider(QKSliderCell* slider) = 0;
  virtual void deselectAllSliders() = 0;
  virtual std::vector<QKSliderCell*> selectedSliderArray() = 0;

  virtual void setHardwareLearnMode(bool mode) = 0;
};

#pragma once

class QKSliderManager;

// An object that finds the slider manager by posting "QKSMFinderNotification"
// with itself (as this interface, passed as void*) as the object; the manager
// calls setSliderManager before the post returns.
class SliderManagerClient {
 public:
  virtual ~SliderManagerClient() = default;
  virtual void setSliderManager(QKSliderManager* manager) = 0;
};

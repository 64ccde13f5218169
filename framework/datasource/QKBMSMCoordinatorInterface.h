#pragma once

// The slider and button inspector: which of its tabs shows.
class QKBMSMCoordinatorInterface {
 public:
  virtual ~QKBMSMCoordinatorInterface() = default;
  virtual void selectSlider() = 0;
  virtual void selectButton() = 0;
  virtual void selectNothing() = 0;
};

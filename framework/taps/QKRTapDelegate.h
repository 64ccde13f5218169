#pragma once

// The owner of a receiving tap, told when the size of the image it receives
// may have changed. Called on the thread that hands the frame over (the
// render thread) with the tap manager's lock held: it must be quick and
// must not wait for a lock whose holder may call the tap manager.
class QKRTapDelegate {
 public:
  virtual ~QKRTapDelegate() = default;
  virtual void updateTapSize() {}
};

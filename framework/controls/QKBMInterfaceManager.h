#pragma once

// What the button manager and the button cells ask of the button inspector's
// controls. Called on the main thread only: the manager queues and
// coalesces the requests that come from other threads.
class QKBMInterfaceManager {
 public:
  virtual ~QKBMInterfaceManager() = default;

  // Show the selection again (the argument is not used by the inspector).
  virtual void updateWithLockedStatus(bool lockedStatus) { (void)lockedStatus; }
  // A selected button's data source delivered this value (the level meter).
  virtual void updateValueRelatedOnlyWithValue(float value) { (void)value; }
};

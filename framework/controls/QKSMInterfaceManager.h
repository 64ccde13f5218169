#pragma once

// What the slider manager asks of the slider inspector's controls. Called on
// the main thread only: the manager queues and coalesces the requests that
// come from other threads.
class QKSMInterfaceManager {
 public:
  virtual ~QKSMInterfaceManager() = default;

  // Show the selection again (the argument is not used by the inspector).
  virtual void updateWithLockedStatus(bool lockedStatus) { (void)lockedStatus; }
  // A selected slider's value changed: refresh the value fields only.
  virtual void updateValueRelatedOnly() {}
};

#pragma once

// What palettes ask of the Window menu's controller: the two interface locks.
// The controller lives from start-up until the palettes are gone; palettes
// read the flags on the main thread.
class WindowMenuControllerInterface {
 public:
  virtual ~WindowMenuControllerInterface() = default;
  // Palettes can be neither moved nor resized.
  virtual bool interfaceLock() const = 0;
  // As interfaceLock, and their collapse toggles are off too.
  virtual bool interfaceLockAll() const = 0;
};

#pragma once

// What a hardware-learn table asks of its owner: whether learn mode is on,
// whether the owner is the learn target (and making it one), and starting
// or ending the learning of a row's shortcut.
class QKNSHardwareLearnTableViewDelegate {
 public:
  virtual ~QKNSHardwareLearnTableViewDelegate() = default;
  virtual void refresh() = 0;
  virtual void select() = 0;
  virtual void deselect() = 0;
  virtual bool selected() const = 0;
  virtual bool hardwareLearnMode() const = 0;
  virtual void detectShortcutForItemAtIndex(int row) = 0;
};

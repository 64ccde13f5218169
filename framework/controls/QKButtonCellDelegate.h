#pragma once

class QKButtonCell;

// Change notices a button cell sends its delegate (an owner that keeps the
// button's settings, such as a composition panel). Called on the thread that
// made the change.
class QKButtonCellDelegate {
 public:
  virtual ~QKButtonCellDelegate() = default;

  // The binding was switched on or off.
  virtual void QKButtonSyncFlagChanged(QKButtonCell& cell) { (void)cell; }
  // The "S" sync toggle was added.
  virtual void QKButtonUIStateChanged(QKButtonCell& cell) { (void)cell; }
  // The threshold or the rise or fall flag changed.
  virtual void QKButtonThreshValChanged(QKButtonCell& cell) { (void)cell; }
};

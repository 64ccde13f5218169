#pragma once

class QKSliderCell;

// Told about changes of a slider; every notice is optional. Notices come on
// the thread that made the change (the main thread, the data-source tick, or
// a MIDI or OSC input thread).
class QKSliderCellDelegate {
 public:
  virtual ~QKSliderCellDelegate() = default;

  virtual void QKSliderInterestingPointsChanged(QKSliderCell& /*sender*/) {}
  virtual void QKSliderMinEnvChanged(QKSliderCell& /*sender*/) {}
  virtual void QKSliderMaxEnvChanged(QKSliderCell& /*sender*/) {}
  virtual void QKSliderSyncFlagChanged(QKSliderCell& /*sender*/) {}
  virtual void QKSliderBehavFlagChanged(QKSliderCell& /*sender*/) {}
  virtual void QKSliderUIStateChanged(QKSliderCell& /*sender*/) {}
  virtual void QKSliderSnappedToInterestingPoint(QKSliderCell& /*sender*/) {}
};

#pragma once

#include <QVariantMap>

// What the master clock asks of its palette. The clock calls
// setCurrentPosition and setDisplayBPM from the clock or MIDI thread: the
// palette only stores the values and asks for one coalesced refresh on the
// main thread. The rest is called on the main thread.
class MasterClockView {
 public:
  virtual ~MasterClockView() = default;
  // Whether the palette is on screen (read on the clock thread).
  virtual bool clockWindowVisible() const = 0;
  // Position 0 … 1; measure, beat and subdivision counted from 1.
  virtual void setCurrentPosition(double position, long measure, long beat, long subdivision) = 0;
  virtual void setDisplayBPM(float bpm) = 0;
  // The tempo entered as if typed into the beats-per-minute field.
  virtual void enterBPM(double bpm) = 0;
  virtual void setListenForMIDIClockButton(bool on) = 0;
  // The learnable buttons' snapshots for a palette shortcut.
  virtual void putButtonSnapsInDict(QVariantMap& dict) const = 0;
  virtual void loadButtonSnaps(const QVariantMap& dict) = 0;
};

#pragma once

#include "framework/datasource/KeyPath.h"

#include <vector>

class QKButtonCell;

// What the data-source controller asks of the button manager. The manager
// outlives the controller's tick thread.
class QKButtonManagerInterface {
 public:
  virtual ~QKButtonManagerInterface() = default;

  // A node now stands at `path`: buttons bound to it may bind again.
  virtual void wasThisDataSourceDeletedOutFromUnderAnyButtons(const KeyPath& path) = 0;
  virtual void reloadDSContextualMenu() = 0;

  virtual void selectThisButton(QKButtonCell* button) = 0;
  virtual void deselectThisButton(QKButtonCell* button) = 0;
  virtual void deselectAllButtons() = 0;
  virtual std::vector<QKButtonCell*> selectedButtonArray() = 0;

  virtual void setHardwareLearnMode(bool mode) = 0;

  // The paths bound to the buttons that switch detection on (the MIDI, key
  // and OSC detect buttons and the hardware-learn button, in that order),
  // for those that are bound. A control in detect mode never adopts one.
  virtual std::vector<KeyPath> detectionButtonSyncArrays() { return {}; }
};

#pragma once

#include "framework/datasource/KeyPath.h"

// An object ticked by the data-source controller after the tree, once per
// tick, on the tick thread (MIDI output items, the OSC output, the step
// sequencer).
class ExternalSynchObject {
 public:
  virtual ~ExternalSynchObject() = default;
  virtual void DSCProc() = 0;
  // A node now stands at `path` (placed or moved there).
  virtual void wasThisDataSourceDeletedOutFromUnderMe(const KeyPath& path) = 0;
};

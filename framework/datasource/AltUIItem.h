#pragma once

// A selectable item that is neither a slider nor a button (a media-bin cell,
// a step-sequencer display, a trigger-listener row …). The controller keeps
// at most one selected; an item deselects itself through the controller
// before it goes away.
class AltUIItem {
 public:
  virtual ~AltUIItem() = default;
  virtual void select() = 0;
  virtual void deselect() = 0;
};

#pragma once

class SequencerStep;
class StepSequencerShortcutController;

// What a step asks of the sequencer that holds it.
class SequencerStepOwner {
 public:
  virtual ~SequencerStepOwner() = default;
  // The step's index in the array, or -1. Any thread.
  virtual long indexOfStep(const SequencerStep* step) const = 0;
  virtual long stepValuesCount() const = 0;
  // The play position goes to the start of the step and playback resumes.
  virtual void shortcutTriggered(long index) = 0;
  // Null while the sequencer has no shortcut table.
  virtual StepSequencerShortcutController* shortcutController() const = 0;
};

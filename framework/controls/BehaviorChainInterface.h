#pragma once

#include <QString>

class QKSliderCell;

// What a slider needs of the behaviour chain it applies to its input. The
// chain's behaviours read the cell's value and write their result back with
// `justSetValue`; the cell clamps and outputs after the pass. A pass runs on
// whichever thread set the slider's value, or on the data-source tick.
class BehaviorChainInterface {
 public:
  virtual ~BehaviorChainInterface() = default;

  virtual QString chainName() const = 0;
  // Passes the cell through every behaviour of the chain, in order.
  virtual void passPtrThruChain(QKSliderCell& cell) = 0;
  // The chain holds time-based behaviours and runs on every tick.
  virtual bool evaluateConsistently() const = 0;
  // A behaviour's setting changed since the last tick.
  virtual bool needsEvaluation() const = 0;
};

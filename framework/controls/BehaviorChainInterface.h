#pragma once

#include <QString>

#include <cstdint>

class QKSliderCell;

// What a slider needs of the behaviour chain it applies to its input. The
// chain's behaviours read the cell's value and write their result back with
// `justSetValue`; the cell clamps and outputs after the pass. A pass runs on
// whichever thread set the slider's value, or on the data-source tick.
class BehaviorChainInterface {
 public:
  BehaviorChainInterface();
  virtual ~BehaviorChainInterface() = default;
  BehaviorChainInterface(const BehaviorChainInterface&) = delete;
  BehaviorChainInterface& operator=(const BehaviorChainInterface&) = delete;

  // A number no other chain has, even one made after this one is gone: a
  // slider publishes its chain's identity so that the tick can tell, with
  // no lock, whether it uses the chain the tick already holds.
  std::uint64_t chainIdentity() const { return chainIdentity_; }

  virtual QString chainName() const = 0;
  // Passes the cell through every behaviour of the chain, in order.
  virtual void passPtrThruChain(QKSliderCell& cell) = 0;
  // The chain holds time-based behaviours and runs on every tick.
  virtual bool evaluateConsistently() const = 0;
  // A behaviour's setting changed since the last tick.
  virtual bool needsEvaluation() const = 0;

 private:
  const std::uint64_t chainIdentity_;
};

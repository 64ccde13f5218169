#pragma once

#include "framework/controls/BehaviorChainInterface.h"
#include "framework/fx/FXChain.h"

#include <QString>

#include <atomic>
#include <mutex>

class BehaviorChainManager;
class BehaviorChainWindow;

// A named chain of behaviours that any number of sliders use. A slider
// passes itself through it when its value is set, and on every data-source
// tick while the chain holds a time-based behaviour (Smooth, SmoothWrap,
// Fall, Delay: `evaluateConsistently`) or a behaviour's parameter changed
// since the last tick (`needsEvaluation`, cleared by the manager after the
// tick).
//
// Threads: edited on the main thread; passed on the tick, input and main
// threads under the chain's lock (FXChain). The flags are atomics; the name
// is read from any thread under its own small mutex.
class BehaviorFXChain : public FXChain, public BehaviorChainInterface {
 public:
  explicit BehaviorFXChain(BehaviorChainManager* manager);

  // BehaviorChainInterface
  QString chainName() const override;
  void passPtrThruChain(QKSliderCell& cell) override;
  bool evaluateConsistently() const override { return evaluateConsistently_.load(); }
  bool needsEvaluation() const override { return needsEvaluation_.load(); }

  using FXChain::passPtrThruChain;
  void setChainName(const QString& name);
  void setNeedsEvaluation(bool flag) { needsEvaluation_.store(flag); }
  // Follows the elements: a chain holding Smooth, SmoothWrap, Fall or Delay
  // runs on every tick.
  void updateEvaluateConsistently();

  // Forwarded to every behaviour (those with a curve view use them).
  void clearTrackingRects();
  void resetTrackingRects();

  // The window whose list holds the chain (main thread).
  BehaviorChainWindow* myBehaviorChainWindow() const { return myBehaviorChainWindow_; }
  void setMyBehaviorChainWindow(BehaviorChainWindow* window) { myBehaviorChainWindow_ = window; }

  // Retires the behaviours and deletes the chain's view, panels and
  // parameter sliders here, on the main thread: a slider passing through the
  // chain on the tick may hold the last reference.
  void prepareToBeDeleted() override;

 protected:
  void chainChanged() override { updateEvaluateConsistently(); }

 private:
  BehaviorChainWindow* myBehaviorChainWindow_ = nullptr;
  mutable std::mutex nameMutex_;
  std::atomic<bool> evaluateConsistently_{false};
  std::atomic<bool> needsEvaluation_{false};
};

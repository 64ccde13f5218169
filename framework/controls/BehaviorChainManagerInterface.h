#pragma once

#include <QString>

#include <memory>

class BehaviorChainInterface;

// What the slider manager needs of the registry of behaviour chains (the
// chain windows). Until the chain windows exist the manager keeps this
// empty registry, which knows no chains.
class BehaviorChainManagerInterface {
 public:
  virtual ~BehaviorChainManagerInterface() = default;

  // Opens the first chain window (once, shortly after start-up).
  virtual void openANewWindow() {}
  // Clears every chain's "settings changed" flag after a tick's evaluation.
  virtual void resetChainEvalFlags() {}
  // The chain of that name in the first chain window, or null.
  virtual std::shared_ptr<BehaviorChainInterface> findChainNamed(const QString& name) const {
    (void)name;
    return nullptr;
  }
};

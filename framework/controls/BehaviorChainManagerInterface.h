#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class BehaviorChainInterface;
class QWidget;

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
  // Posted (object: the manager) whenever the chains change.
  static constexpr const char* kChainsChangedNotification = "QKBehaviorChainNotification";
  // The chains' names in the manager's order (the inspector's chain menus).
  virtual QStringList chainNames() const { return {}; }
  // Shows the chain of that name in the chain window.
  virtual void displayChainNamed(const QString& name) { (void)name; }
  // The chain window; null while there is none.
  virtual QWidget* mainWindow() const { return nullptr; }
  // The chain of that name in the first chain window, or null.
  virtual std::shared_ptr<BehaviorChainInterface> findChainNamed(const QString& name) const {
    (void)name;
    return nullptr;
  }
};

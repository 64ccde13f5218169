#pragma once

#include <QPointer>
#include <QStringList>

class BehaviorChainWindow;
class QAction;
class QKNSPopUpButton;
class QMenu;

// The chain window's behaviour pop-up: every behaviour name, sorted, and a
// choice adds that behaviour to the visible chain. Main thread only.
class BehaviorCreationController {
 public:
  BehaviorCreationController(BehaviorChainWindow* window, QKNSPopUpButton* popUp);
  ~BehaviorCreationController();

  // The names of the manager's behaviours, sorted (case-sensitive, by
  // character code), become the pop-up's menu "creationMenu".
  void populateCreationArray();
  // Adds the behaviour named by the item to the visible chain.
  void behaviorsMenuUsed(QAction* item);
  QStringList creationArray() const { return creationArray_; }
  QKNSPopUpButton* potentialBehaviorsMenu() const { return popUp_; }

 private:
  BehaviorChainWindow* window_;
  QPointer<QKNSPopUpButton> popUp_;
  QStringList creationArray_;
  QPointer<QMenu> creationMenu_;
};

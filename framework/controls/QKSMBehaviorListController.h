#pragma once

#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QString>

class QAction;
class QKNSPopUpButton;
class QKSliderManager;
class QWidget;

// The slider inspector's behaviour-chain pop-up: the chains the slider
// manager's chain registry knows, rebuilt when they change
// ("QKBehaviorChainNotification"); choosing one applies it to the selected
// sliders. With no chains the pop-up keeps its menu. Main thread only.
class QKSMBehaviorListController {
 public:
  static const QString kMenuTitle;  // "Behavior Chains"

  // Makes the pop-up as a child of `parent`.
  explicit QKSMBehaviorListController(QWidget* parent);
  ~QKSMBehaviorListController();

  void setSliderManager(QKSliderManager* manager) { sliderManager_ = manager; }
  QKNSPopUpButton* behaviorPopUpButton() const { return behaviorPopUpButton_; }

  void reloadView();
  // An unknown chain is ignored.
  void behaviorPopUpButtonUsed(QAction* item);
  // Selects the chain of that name; none for an empty name.
  void selectItemForString(const QString& name);

 private:
  QPointer<QKNSPopUpButton> behaviorPopUpButton_;
  QKSliderManager* sliderManager_ = nullptr;
  NotificationObservers observers_;
};

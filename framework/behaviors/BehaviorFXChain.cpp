#include "framework/behaviors/BehaviorFXChain.h"

#include "framework/behaviors/Behavior.h"
#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/controls/QKSliderCell.h"

#include <QSet>

BehaviorFXChain::BehaviorFXChain(BehaviorChainManager* manager) : FXChain(manager) {}

QString BehaviorFXChain::chainName() const {
  std::lock_guard<std::mutex> lock(nameMutex_);
  return FXChain::chainName();
}

void BehaviorFXChain::setChainName(const QString& name) {
  std::lock_guard<std::mutex> lock(nameMutex_);
  FXChain::setChainName(name);
}

void BehaviorFXChain::passPtrThruChain(QKSliderCell& cell) { FXChain::passPtrThruChain(&cell); }

void BehaviorFXChain::updateEvaluateConsistently() {
  static const QSet<QString> timeBased = {QStringLiteral("Smooth"), QStringLiteral("SmoothWrap"),
                                          QStringLiteral("Fall"), QStringLiteral("Delay")};
  bool consistent = false;
  for (const Element& element : fxArray())
    if (timeBased.contains(element->myName())) consistent = true;
  evaluateConsistently_.store(consistent);
}

void BehaviorFXChain::clearTrackingRects() {
  for (const Element& element : fxArray())
    if (auto* behavior = dynamic_cast<Behavior*>(element.get())) behavior->clearTrackingRects();
}

void BehaviorFXChain::resetTrackingRects() {
  for (const Element& element : fxArray())
    if (auto* behavior = dynamic_cast<Behavior*>(element.get())) behavior->resetTrackingRects();
}

void BehaviorFXChain::prepareToBeDeleted() {
  FXChain::prepareToBeDeleted();
  releaseView();
  myBehaviorChainWindow_ = nullptr;
}

#pragma once

#include "framework/datasource/DSFloatFrequent.h"

// A float node delivered at once, on the setting thread; a value equal to
// the current one is dropped. MIDI, OSC and key input are of this kind.
// With type 0 every change counts as a button press, with type 5 a change to
// exactly 1.0 does ("QKButtonDetectNotification", object: the node).
class DSFloatInfrequent : public DSFloatFrequent {
 public:
  // With a target and an action, also installs the set call made of them.
  static std::shared_ptr<DSFloatInfrequent> createWithName(
      const QString& name, int32_t ofType = DSType::FloatInfrequent,
      std::weak_ptr<DataSourceTarget> setByTarget = {}, DataSourceCall::Action withAction = {});
  static std::shared_ptr<DSFloatInfrequent> createWithName(
      const QString& name, std::weak_ptr<DataSourceTarget> setByTarget,
      DataSourceCall::Action withAction) {
    return createWithName(name, DSType::FloatInfrequent, std::move(setByTarget),
                          std::move(withAction));
  }

  void setValue(float value) override;
  // NO until the first setValue.
  bool valReceived() const { return valReceived_.load(std::memory_order_acquire); }

 protected:
  DSFloatInfrequent(const QString& name, int32_t type) : DSFloatFrequent(name, type) {}
  QString descriptionPrefix() const override { return QStringLiteral("DSFI"); }
  void markReceived() { valReceived_.store(true, std::memory_order_release); }
  // Posts the button-detect notification when this value is a press.
  void buttonDetect(float value);

 private:
  std::atomic<bool> valReceived_{false};
};

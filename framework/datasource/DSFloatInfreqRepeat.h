#pragma once

#include "framework/datasource/DSFloatInfrequent.h"

// An infrequent float that delivers every value at once, repeats included.
class DSFloatInfreqRepeat : public DSFloatInfrequent {
 public:
  // With a target and an action, also installs the set call made of them.
  static std::shared_ptr<DSFloatInfreqRepeat> createWithName(
      const QString& name, int32_t ofType = DSType::FloatInfreqRepeat,
      std::weak_ptr<DataSourceTarget> setByTarget = {}, DataSourceCall::Action withAction = {});
  static std::shared_ptr<DSFloatInfreqRepeat> createWithName(
      const QString& name, std::weak_ptr<DataSourceTarget> setByTarget,
      DataSourceCall::Action withAction) {
    return createWithName(name, DSType::FloatInfreqRepeat, std::move(setByTarget),
                          std::move(withAction));
  }

  void setValue(float value) override;

 protected:
  DSFloatInfreqRepeat(const QString& name, int32_t type) : DSFloatInfrequent(name, type) {}
  QString descriptionPrefix() const override { return QStringLiteral("DSFIR"); }
};

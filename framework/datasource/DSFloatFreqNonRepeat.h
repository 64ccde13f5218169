#pragma once

#include "framework/datasource/DSFloatFrequent.h"

// A float node delivered at once, on the setting thread; a value equal to
// the current one is dropped.
class DSFloatFreqNonRepeat : public DSFloatFrequent {
 public:
  // With a target and an action, also installs the set call made of them.
  static std::shared_ptr<DSFloatFreqNonRepeat> createWithName(
      const QString& name, int32_t ofType = DSType::FloatFreqNonRepeat,
      std::weak_ptr<DataSourceTarget> setByTarget = {}, DataSourceCall::Action withAction = {});
  static std::shared_ptr<DSFloatFreqNonRepeat> createWithName(
      const QString& name, std::weak_ptr<DataSourceTarget> setByTarget,
      DataSourceCall::Action withAction) {
    return createWithName(name, DSType::FloatFreqNonRepeat, std::move(setByTarget),
                          std::move(withAction));
  }

  void setValue(float value) override;

 protected:
  DSFloatFreqNonRepeat(const QString& name, int32_t type) : DSFloatFrequent(name, type) {}
  QString descriptionPrefix() const override { return QStringLiteral("DSFFNR"); }
};

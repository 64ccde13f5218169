#pragma once

#include "framework/datasource/DSFloatFrequent.h"

// A float node delivered at once, on the setting thread; a value equal to
// the current one is dropped.
class DSFloatFreqNonRepeat : public DSFloatFrequent {
 public:
  static std::shared_ptr<DSFloatFreqNonRepeat> createWithName(
      const QString& name, int32_t ofType = DSType::FloatFreqNonRepeat);
  static std::shared_ptr<DSFloatFreqNonRepeat> createWithName(
      const QString& name, std::weak_ptr<DataSourceTarget> setByTarget,
      DataSourceCall::Action withAction);
  static std::shared_ptr<DSFloatFreqNonRepeat> createWithName(
      const QString& name, int32_t ofType, std::weak_ptr<DataSourceTarget> setByTarget,
      DataSourceCall::Action withAction);

  void setValue(float value) override;

 protected:
  DSFloatFreqNonRepeat(const QString& name, int32_t type) : DSFloatFrequent(name, type) {}
  QString descriptionPrefix() const override { return QStringLiteral("DSFFNR"); }
};

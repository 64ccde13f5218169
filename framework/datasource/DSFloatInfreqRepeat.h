#pragma once

#include "framework/datasource/DSFloatInfrequent.h"

// An infrequent float that delivers every value at once, repeats included.
class DSFloatInfreqRepeat : public DSFloatInfrequent {
 public:
  static std::shared_ptr<DSFloatInfreqRepeat> createWithName(
      const QString& name, int32_t ofType = DSType::FloatInfreqRepeat);
  static std::shared_ptr<DSFloatInfreqRepeat> createWithName(
      const QString& name, std::weak_ptr<DataSourceTarget> setByTarget,
      DataSourceCall::Action withAction);
  static std::shared_ptr<DSFloatInfreqRepeat> createWithName(
      const QString& name, int32_t ofType, std::weak_ptr<DataSourceTarget> setByTarget,
      DataSourceCall::Action withAction);

  void setValue(float value) override;

 protected:
  DSFloatInfreqRepeat(const QString& name, int32_t type) : DSFloatInfrequent(name, type) {}
  QString descriptionPrefix() const override { return QStringLiteral("DSFIR"); }
};

#include "framework/datasource/DSFloatFreqNonRepeat.h"

std::shared_ptr<DSFloatFreqNonRepeat> DSFloatFreqNonRepeat::createWithName(
    const QString& name, int32_t ofType, std::weak_ptr<DataSourceTarget> setByTarget,
    DataSourceCall::Action withAction) {
  return withSetCall(std::shared_ptr<DSFloatFreqNonRepeat>(new DSFloatFreqNonRepeat(name, ofType)),
                     std::move(setByTarget), std::move(withAction));
}

void DSFloatFreqNonRepeat::setValue(float value) {
  if (value == this->value()) return;
  storeAndDeliverNow(value);
}

#include "framework/datasource/DSFloatInfreqRepeat.h"

std::shared_ptr<DSFloatInfreqRepeat> DSFloatInfreqRepeat::createWithName(
    const QString& name, int32_t ofType, std::weak_ptr<DataSourceTarget> setByTarget,
    DataSourceCall::Action withAction) {
  return withSetCall(std::shared_ptr<DSFloatInfreqRepeat>(new DSFloatInfreqRepeat(name, ofType)),
                     std::move(setByTarget), std::move(withAction));
}

void DSFloatInfreqRepeat::setValue(float value) {
  markReceived();
  storeAndDeliverNow(value);
  buttonDetect(value);
}

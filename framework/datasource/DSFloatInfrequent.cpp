#include "framework/datasource/DSFloatInfrequent.h"

#include "framework/datasource/DataSourceNotifications.h"
#include "platform/foundation/NotificationCenter.h"

std::shared_ptr<DSFloatInfrequent> DSFloatInfrequent::createWithName(
    const QString& name, int32_t ofType, std::weak_ptr<DataSourceTarget> setByTarget,
    DataSourceCall::Action withAction) {
  return withSetCall(std::shared_ptr<DSFloatInfrequent>(new DSFloatInfrequent(name, ofType)),
                     std::move(setByTarget), std::move(withAction));
}

void DSFloatInfrequent::setValue(float value) {
  markReceived();
  if (value == this->value()) return;
  storeAndDeliverNow(value);
  buttonDetect(value);
}

void DSFloatInfrequent::buttonDetect(float value) {
  const int32_t type = sourceType();
  if (type == DSType::Plain || (type == DSType::ButtonFloat && value == 1.0f))
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(DataSourceNotifications::ButtonDetect), static_cast<DataSource*>(this));
}

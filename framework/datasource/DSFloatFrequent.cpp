#include "framework/datasource/DSFloatFrequent.h"

namespace {
constexpr int32_t kCounterPeriod = 60000;  // the tick counter runs 0 … 59999
}

std::shared_ptr<DSFloatFrequent> DSFloatFrequent::createWithName(
    const QString& name, int32_t ofType, std::weak_ptr<DataSourceTarget> setByTarget,
    DataSourceCall::Action withAction) {
  return withSetCall(std::shared_ptr<DSFloatFrequent>(new DSFloatFrequent(name, ofType)),
                     std::move(setByTarget), std::move(withAction));
}

DSFloatFrequent::DSFloatFrequent(const QString& name, int32_t type) : DataSource(name, type) {}

void DSFloatFrequent::storeValue(float v) {
  lastValue_.store(value_.load(std::memory_order_acquire), std::memory_order_release);
  value_.store(v, std::memory_order_release);
}

void DSFloatFrequent::storeAndDeliverNow(float v) {
  storeValue(v);
  setNeedsToBePushed(true);
  DSCProc();
}

void DSFloatFrequent::setValue(float value) {
  storeValue(value);
  setNeedsToBePushed(true);
}

void DSFloatFrequent::setValueButDontOutput(float value) { storeValue(value); }

void DSFloatFrequent::DSCProc() {
  if (isDeleted()) return;
  const int32_t now = DSCTime();
  int32_t since = now - lastUpdateTime();
  if (since < 0) since += kCounterPeriod;
  timeSinceLastUpdate_.store(since, std::memory_order_relaxed);
  setLastUpdateTime(now);
  DataSource::DSCProc();
}

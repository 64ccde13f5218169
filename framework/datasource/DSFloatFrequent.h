#pragma once

#include "framework/datasource/DataSource.h"

// A float node delivered on the next tick, on the tick thread: several sets
// within one tick give one delivery of the last value; a repeated value is
// delivered again. The base of every float kind.
class DSFloatFrequent : public DataSource {
 public:
  // With a target and an action, also installs the set call made of them.
  static std::shared_ptr<DSFloatFrequent> createWithName(
      const QString& name, int32_t ofType = DSType::FloatFrequent,
      std::weak_ptr<DataSourceTarget> setByTarget = {}, DataSourceCall::Action withAction = {});
  static std::shared_ptr<DSFloatFrequent> createWithName(
      const QString& name, std::weak_ptr<DataSourceTarget> setByTarget,
      DataSourceCall::Action withAction) {
    return createWithName(name, DSType::FloatFrequent, std::move(setByTarget),
                          std::move(withAction));
  }

  bool takesValue() const override { return true; }
  float value() const override { return value_.load(std::memory_order_acquire); }
  const DSFloatFrequent* asFloatFrequent() const override { return this; }
  void setValue(float value) override;
  void setValueWithBOOL(bool value) { setValue(value ? 1.0f : 0.0f); }
  // lastValue := value, value := the new value; no delivery is asked for.
  void setValueButDontOutput(float value);
  void setBOOLValueButDontOutput(bool value) { setValueButDontOutput(value ? 1.0f : 0.0f); }

  float lastValue() const { return lastValue_.load(std::memory_order_acquire); }
  void setLastValue(float value) { lastValue_.store(value, std::memory_order_release); }
  // The tick counter at the node's last tick step.
  int32_t lastUpdateTime() const { return lastUpdateTime_.load(std::memory_order_relaxed); }
  void setLastUpdateTime(int32_t time) { lastUpdateTime_.store(time, std::memory_order_relaxed); }
  // Ticks between the node's last two tick steps (the counter's wrap
  // included).
  int32_t timeSinceLastUpdate() const {
    return timeSinceLastUpdate_.load(std::memory_order_relaxed);
  }

  // Updates the clock fields, then the base step.
  void DSCProc() override;

 protected:
  DSFloatFrequent(const QString& name, int32_t type);
  QString descriptionPrefix() const override { return QStringLiteral("DSFF"); }
  // lastValue := value; value := v.
  void storeValue(float v);
  // Stores the value, asks for a delivery and runs the tick step at once, on
  // the caller's thread.
  void storeAndDeliverNow(float v);

 private:
  std::atomic<float> value_{0.0f};
  std::atomic<float> lastValue_{0.0f};
  std::atomic<int32_t> lastUpdateTime_{0};
  std::atomic<int32_t> timeSinceLastUpdate_{0};
};

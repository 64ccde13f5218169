#include "framework/datasource/DSFloatFreqNonRepeat.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "tests/framework/datasource/DataSourceFakes.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

using Factory = std::function<std::shared_ptr<DSFloatFrequent>()>;

enum class Op { Set, SetQuietly, Tick };
struct Step {
  Op op;
  float value = 0.0f;
};
Step set(float v) { return {Op::Set, v}; }
Step quietly(float v) { return {Op::SetQuietly, v}; }
Step tick() { return {Op::Tick}; }

struct ValueCase {
  const char* name;
  Factory make;
  std::vector<Step> steps;
  std::vector<float> delivered;  // in order, whatever thread delivered
  float value;
  float lastValue;
};
void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

Factory frequent() {
  return [] { return DSFloatFrequent::createWithName(QStringLiteral("n")); };
}
Factory nonRepeat() {
  return [] { return DSFloatFreqNonRepeat::createWithName(QStringLiteral("n")); };
}
Factory infrequent(int32_t type = DSType::FloatInfrequent) {
  return [type] { return DSFloatInfrequent::createWithName(QStringLiteral("n"), type); };
}
Factory infreqRepeat() {
  return [] { return DSFloatInfreqRepeat::createWithName(QStringLiteral("n")); };
}

class ValueTable : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueTable, DeliversPerKind) {
  const ValueCase& c = GetParam();
  const auto node = c.make();
  const auto target = std::make_shared<RecordingTarget>();
  ASSERT_TRUE(node->addThisFetchCall(callTo(target)));
  for (const Step& step : c.steps) {
    switch (step.op) {
      case Op::Set:
        node->setValue(step.value);
        break;
      case Op::SetQuietly:
        node->setValueButDontOutput(step.value);
        break;
      case Op::Tick:
        node->DSCProc();
        break;
    }
  }
  EXPECT_EQ(target->values(), c.delivered);
  EXPECT_FLOAT_EQ(node->value(), c.value);
  EXPECT_FLOAT_EQ(node->lastValue(), c.lastValue);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ValueTable,
    testing::Values(
        ValueCase{"FrequentWaitsForTheTick", frequent(), {set(0.5f)}, {}, 0.5f, 0.0f},
        ValueCase{"FrequentSeveralSetsGiveOneDeliveryOfTheLast",
                  frequent(),
                  {set(0.2f), set(0.5f), set(0.7f), tick(), tick()},
                  {0.7f},
                  0.7f,
                  0.5f},
        ValueCase{"FrequentRepeatsPass",
                  frequent(),
                  {set(0.5f), tick(), set(0.5f), tick()},
                  {0.5f, 0.5f},
                  0.5f,
                  0.5f},
        ValueCase{
            "FrequentQuietSetIsNotDelivered", frequent(), {quietly(0.3f), tick()}, {}, 0.3f, 0.0f},
        ValueCase{"FrequentQuietSetAfterAPendingOneDeliversTheNewest",
                  frequent(),
                  {set(0.4f), quietly(0.6f), tick()},
                  {0.6f},
                  0.6f,
                  0.4f},
        ValueCase{"NonRepeatDeliversAtOnceAndDropsEqualValues",
                  nonRepeat(),
                  {set(0.5f), set(0.5f), tick(), set(0.25f)},
                  {0.5f, 0.25f},
                  0.25f,
                  0.5f},
        ValueCase{"InfrequentDeliversAtOnceAndDropsEqualValues",
                  infrequent(),
                  {set(0.5f), set(0.5f), tick(), set(1.0f)},
                  {0.5f, 1.0f},
                  1.0f,
                  0.5f},
        ValueCase{"InfrequentDropsTheStartingValue", infrequent(), {set(0.0f)}, {}, 0.0f, 0.0f},
        ValueCase{"InfreqRepeatDeliversEveryValueAtOnce",
                  infreqRepeat(),
                  {set(0.5f), set(0.5f), tick()},
                  {0.5f, 0.5f},
                  0.5f,
                  0.5f}),
    [](const testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

TEST(DataSourceValues, ImmediateKindsDeliverOnTheSettingThreadFrequentOnTheTickingOne) {
  const auto immediate = DSFloatInfrequent::createWithName(QStringLiteral("i"));
  const auto frequentNode = DSFloatFrequent::createWithName(QStringLiteral("f"));
  const auto target = std::make_shared<RecordingTarget>();
  immediate->addThisFetchCall(callTo(target));
  frequentNode->addThisFetchCall(callTo(target));

  std::thread::id setter;
  std::thread([&] {
    setter = std::this_thread::get_id();
    immediate->setValue(0.25f);
    frequentNode->setValue(0.75f);
  }).join();
  frequentNode->DSCProc();

  const auto threads = target->threads();
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(threads[0], setter);
  EXPECT_EQ(threads[1], std::this_thread::get_id());
}

TEST(DataSourceValues, EqualValueStillMarksAnInfrequentNodeReceived) {
  const auto node = DSFloatInfrequent::createWithName(QStringLiteral("n"));
  EXPECT_FALSE(node->valReceived());
  node->setValue(0.0f);
  EXPECT_TRUE(node->valReceived());
}

TEST(DataSourceValues, BoolForms) {
  const auto node = DSFloatFrequent::createWithName(QStringLiteral("n"));
  node->setValueWithBOOL(true);
  EXPECT_FLOAT_EQ(node->value(), 1.0f);
  EXPECT_TRUE(node->needsToBePushed());
  node->DSCProc();
  node->setBOOLValueButDontOutput(false);
  EXPECT_FLOAT_EQ(node->value(), 0.0f);
  EXPECT_FALSE(node->needsToBePushed());
}

TEST(DataSourceValues, ASetCallThatWritesTheNodeIsDeliveredInTheSameStep) {
  struct Producer : DataSourceTarget {
    float next = 0.0f;
    void produce(DataSource* node) { node->setValue(next); }
  };
  const auto producer = std::make_shared<Producer>();
  const auto node = DSFloatFrequent::createWithName(
      QStringLiteral("pulled"), producer,
      [](DataSourceTarget& t, DataSource* n) { static_cast<Producer&>(t).produce(n); });
  const auto target = std::make_shared<RecordingTarget>();
  node->addThisFetchCall(callTo(target));
  producer->next = 0.3f;
  node->DSCProc();
  producer->next = 0.3f;
  node->DSCProc();
  EXPECT_EQ(target->values(), (std::vector<float>{0.3f, 0.3f}));
}

TEST(DataSourceValues, AValueSetWhileTheSubscribersRunIsDeliveredByTheNextStep) {
  const auto node = DSFloatFrequent::createWithName(QStringLiteral("n"));
  const auto target = std::make_shared<RecordingTarget>();
  target->onReceive = [&](DataSource*) {
    if (target->values().size() == 1) node->setValue(0.9f);  // another producer, mid-delivery
  };
  node->addThisFetchCall(callTo(target));
  node->setValue(0.5f);
  node->DSCProc();
  EXPECT_TRUE(node->needsToBePushed());
  node->DSCProc();
  EXPECT_EQ(target->values(), (std::vector<float>{0.5f, 0.9f}));
}

TEST(DataSourceValues, AnImmediateNodeWhoseSetCallWritesItDoesNotRecurse) {
  struct Producer : DataSourceTarget {
    int calls = 0;
    void produce(DataSource* node) { node->setValue(static_cast<float>(++calls)); }
  };
  const auto producer = std::make_shared<Producer>();
  const auto node = DSFloatInfreqRepeat::createWithName(
      QStringLiteral("pulled"), producer,
      [](DataSourceTarget& t, DataSource* n) { static_cast<Producer&>(t).produce(n); });
  node->DSCProc();
  EXPECT_EQ(producer->calls, 1);
}

struct DetectCase {
  const char* name;
  int32_t type;
  std::vector<float> values;
  int posts;
};
void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.name; }

class ButtonDetect : public testing::TestWithParam<DetectCase> {};

TEST_P(ButtonDetect, PostsPresses) {
  const DetectCase& c = GetParam();
  NotificationCounter detect(DataSourceNotifications::ButtonDetect);
  const auto node = DSFloatInfrequent::createWithName(QStringLiteral("b"), c.type);
  for (float v : c.values) node->setValue(v);
  EXPECT_EQ(detect.count(), c.posts);
  for (const Notification& note : detect.notes())
    EXPECT_EQ(note.object, static_cast<DataSource*>(node.get()));
}

INSTANTIATE_TEST_SUITE_P(
    Types, ButtonDetect,
    testing::Values(DetectCase{"PlainTypeReportsEveryChange", DSType::Plain, {1.0f, 1.0f, 0.5f}, 2},
                    DetectCase{"ButtonTypeReportsOnlyARiseToExactlyOne",
                               DSType::ButtonFloat,
                               {0.5f, 1.0f, 0.0f, 0.999f, 1.0f},
                               2},
                    DetectCase{"InfrequentTypeNeverReports", DSType::FloatInfrequent, {1.0f}, 0}),
    [](const testing::TestParamInfo<DetectCase>& info) { return std::string(info.param.name); });

TEST(DataSourceValues, InfreqRepeatOfPlainTypeReportsRepeatedPresses) {
  NotificationCounter detect(DataSourceNotifications::ButtonDetect);
  const auto node = DSFloatInfreqRepeat::createWithName(QStringLiteral("b"), DSType::Plain);
  node->setValue(1.0f);
  node->setValue(1.0f);
  EXPECT_EQ(detect.count(), 2);
}

TEST(DataSourceValues, ClockFieldsCountTicksAcrossTheCounterWrap) {
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  const auto node = DSFloatFrequent::createWithName(QStringLiteral("clock"));
  ASSERT_TRUE(dsc.setDataSource(node, {QStringLiteral("ZAPH"), QStringLiteral("clock")}));
  while (DataSourceController::DSCTime() != 59998) dsc.threadProc();
  dsc.threadProc();  // the node's step at 59998; the counter becomes 59999
  EXPECT_EQ(node->lastUpdateTime(), 59998);
  dsc.threadProc();
  EXPECT_EQ(DataSourceController::DSCTime(), 0);
  dsc.threadProc();  // the step at 0 follows the one at 59999
  EXPECT_EQ(node->lastUpdateTime(), 0);
  EXPECT_EQ(node->timeSinceLastUpdate(), 1);

  // A node that missed ticks measures the gap, wrap included.
  node->setLastUpdateTime(59990);
  node->DSCProc();
  EXPECT_EQ(node->timeSinceLastUpdate(), DataSourceController::DSCTime() + 10);
}

// A subscription removed by its own delivery is freed once the delivery
// ends, not kept until the node's next change.
TEST(DataSourceValues, ACallRemovedDuringItsDeliveryIsFreedWhenTheDeliveryEnds) {
  const auto node = DSFloatInfrequent::createWithName(QStringLiteral("n"));
  const auto target = std::make_shared<DataSourceTarget>();
  auto token = std::make_shared<int>(0);
  const std::weak_ptr<int> watched = token;
  int deliveries = 0;
  DataSource* raw = node.get();
  node->addThisFetchCall(DataSourceCall::createWithTarget(
      target, [token, raw, &deliveries](DataSourceTarget& t, DataSource*) {
        ++deliveries;
        raw->removeFetchCallForObject(&t);
      }));
  token.reset();
  ASSERT_FALSE(watched.expired());
  node->setValue(1.0f);
  EXPECT_EQ(deliveries, 1);
  EXPECT_EQ(node->fetchCallCount(), 0u);
  EXPECT_TRUE(watched.expired());
  node->setValue(2.0f);
  EXPECT_EQ(deliveries, 1);
}

}  // namespace

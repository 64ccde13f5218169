#include "framework/toolkit/ValueQTKitAdditions.h"

#include <gtest/gtest.h>

using namespace ValueQTKitAdditions;

namespace {

TEST(TimeDictionaries, RoundTripKeepsEveryField) {
  const QKTime time{1234567890123LL, 600, 1};
  const QVariantMap dict = QTTimeAsDict(time);
  EXPECT_EQ(dict.value("timeValue").typeId(), QMetaType::LongLong);
  EXPECT_EQ(dict.value("timeValue").toLongLong(), 1234567890123LL);
  EXPECT_EQ(dict.value("timeScale").toInt(), 600);
  EXPECT_EQ(dict.value("flags").toInt(), 1);
  EXPECT_EQ(QTTimeValueFromDict(dict), time);

  const QKTimeRange range{{300, 600, 0}, {-5, 2997, 2}};
  const QVariantMap rangeDict = QTTimeRangeAsDict(range);
  EXPECT_EQ(rangeDict.value("timeDict").toMap(), QTTimeAsDict(range.start));
  EXPECT_EQ(rangeDict.value("durationDict").toMap(), QTTimeAsDict(range.duration));
  EXPECT_EQ(QTTimeRangeValueFromDict(rangeDict), range);
}

TEST(TimeDictionaries, MissingOrUnreadableKeysReadAsZero) {
  const struct {
    const char* name;
    QVariantMap dict;
    QKTime expected;
  } cases[] = {
      {"empty", {}, {0, 0, 0}},
      {"value only", {{"timeValue", 5}}, {5, 0, 0}},
      {"scale only", {{"timeScale", 600}}, {0, 600, 0}},
      {"text where a number belongs", {{"timeValue", "soon"}, {"timeScale", 600}}, {0, 600, 0}},
      {"number stored as a real", {{"timeValue", 42.0}, {"timeScale", 30.0}}, {42, 30, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(QTTimeValueFromDict(c.dict), c.expected) << c.name;

  const QKTimeRange noDuration =
      QTTimeRangeValueFromDict({{"timeDict", QTTimeAsDict({10, 600, 0})}});
  EXPECT_EQ(noDuration, (QKTimeRange{{10, 600, 0}, {0, 0, 0}}));
  EXPECT_EQ(QTTimeRangeValueFromDict({{"timeDict", "broken"}}), QKTimeRange{});
}

}  // namespace

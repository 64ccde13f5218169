#include "platform/foundation/ObserverSwitch.h"

#include <gtest/gtest.h>

namespace {
const QString kName = QStringLiteral("ObserverSwitchTest");
}

TEST(ObserverSwitch, OnOnceOffOnceAndClosedForGood) {
  int heard = 0;
  ObserverSwitch observation(this, kName);
  auto count = [&](const Notification&) { ++heard; };
  EXPECT_TRUE(observation.turnOn(count));
  EXPECT_FALSE(observation.turnOn(count));  // one registration, not two
  NotificationCenter::defaultCenter().post(kName);
  EXPECT_EQ(heard, 1);
  EXPECT_TRUE(observation.turnOff());
  EXPECT_FALSE(observation.turnOff());
  NotificationCenter::defaultCenter().post(kName);
  EXPECT_EQ(heard, 1);
  observation.close();
  EXPECT_FALSE(observation.turnOn(count));
  EXPECT_FALSE(observation.isOn());
}

// A handler switching its own observation off does not wait for itself,
// and other observations of the same observer stay.
TEST(ObserverSwitch, HandlerSwitchesItselfOff) {
  int other = 0;
  NotificationCenter::defaultCenter().addObserver(this, kName, nullptr,
                                                  [&](const Notification&) { ++other; });
  ObserverSwitch observation(this, kName);
  int heard = 0;
  observation.turnOn([&](const Notification&) {
    ++heard;
    observation.turnOff();
  });
  NotificationCenter::defaultCenter().post(kName);
  NotificationCenter::defaultCenter().post(kName);
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(other, 2);
  NotificationCenter::defaultCenter().removeObserver(this);
}

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ObserverCheck.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

TEST(NotificationCenter, DeliversByNameAndObject) {
  NotificationCenter center;
  int a = 0, b = 0, any = 0;
  int sender1 = 0, sender2 = 0;
  center.addObserver(&a, QStringLiteral("N"), nullptr, [&](const Notification&) { ++a; });
  center.addObserver(&b, QStringLiteral("N"), &sender1, [&](const Notification&) { ++b; });
  center.addObserver(&any, QString(), nullptr, [&](const Notification&) { ++any; });
  center.post(QStringLiteral("N"), &sender1);
  center.post(QStringLiteral("N"), &sender2);
  center.post(QStringLiteral("Other"));
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(any, 3);
}

TEST(NotificationCenter, CarriesObjectAndUserInfo) {
  NotificationCenter center;
  int sender = 0;
  Notification received;
  center.addObserver(this, QStringLiteral("N"), nullptr,
                     [&](const Notification& n) { received = n; });
  center.post(QStringLiteral("N"), &sender, {{QStringLiteral("k"), 3}});
  EXPECT_EQ(received.object, &sender);
  EXPECT_EQ(received.userInfo.value(QStringLiteral("k")).toInt(), 3);
}

TEST(NotificationCenter, RemovalByNameKeepsOtherNames) {
  NotificationCenter center;
  int count = 0;
  center.addObserver(this, QStringLiteral("A"), nullptr, [&](const Notification&) { ++count; });
  center.addObserver(this, QStringLiteral("B"), nullptr, [&](const Notification&) { ++count; });
  center.removeObserver(this, QStringLiteral("A"));
  center.post(QStringLiteral("A"));
  center.post(QStringLiteral("B"));
  EXPECT_EQ(count, 1);
}

// One observer may hold several registrations of one name; removing one by
// its id leaves the others.
TEST(NotificationCenter, RemovalByIdTakesOnlyThatRegistration) {
  NotificationCenter center;
  int first = 0, second = 0;
  const auto id =
      center.addObserver(this, QStringLiteral("A"), nullptr, [&](const Notification&) { ++first; });
  center.addObserver(this, QStringLiteral("A"), nullptr, [&](const Notification&) { ++second; });
  center.removeObserver(id);
  center.removeObserver(NotificationCenter::ObserverId::None);
  center.post(QStringLiteral("A"));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
}

TEST(NotificationCenter, HandlerMayRemoveItselfAndOthersDuringAPost) {
  NotificationCenter center;
  int first = 0, second = 0;
  int o1 = 0, o2 = 0;
  center.addObserver(&o1, QStringLiteral("N"), nullptr, [&](const Notification&) {
    ++first;
    center.removeObserver(&o1);
    center.removeObserver(&o2);
  });
  center.addObserver(&o2, QStringLiteral("N"), nullptr, [&](const Notification&) { ++second; });
  center.post(QStringLiteral("N"));
  center.post(QStringLiteral("N"));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);  // removed before its turn in the same post
}

TEST(NotificationCenter, RemoveWaitsForADeliveryOnAnotherThread) {
  NotificationCenter center;
  std::atomic<bool> inHandler{false}, release{false}, handlerDone{false};
  center.addObserver(this, QStringLiteral("N"), nullptr, [&](const Notification&) {
    inHandler = true;
    while (!release.load()) std::this_thread::yield();
    handlerDone = true;
  });
  std::thread poster([&] { center.post(QStringLiteral("N")); });
  while (!inHandler.load()) std::this_thread::yield();
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    release = true;
  });
  center.removeObserver(this);
  EXPECT_TRUE(handlerDone.load());  // the observer may be destroyed now
  poster.join();
  releaser.join();
}

TEST(NotificationCenter, TellsWhetherANameHasObserversAndWhenThatMayHaveChanged) {
  NotificationCenter center;
  int observer = 0, everything = 0;
  const auto start = center.observerGeneration();
  EXPECT_FALSE(center.hasObservers(QStringLiteral("Ping")));
  center.addObserver(&observer, QStringLiteral("Ping"), nullptr, [](const Notification&) {});
  EXPECT_NE(center.observerGeneration(), start);
  EXPECT_TRUE(center.hasObservers(QStringLiteral("Ping")));
  EXPECT_FALSE(center.hasObservers(QStringLiteral("Pong")));
  center.addObserver(&everything, QString(), nullptr, [](const Notification&) {});
  EXPECT_TRUE(center.hasObservers(QStringLiteral("Pong")));  // an observer of every name
  const auto before = center.observerGeneration();
  center.removeObserver(&everything);
  center.removeObserver(&observer);
  EXPECT_NE(center.observerGeneration(), before);
  EXPECT_FALSE(center.hasObservers(QStringLiteral("Ping")));
}

// The cached answer follows every change of the default center's observers,
// including one of an observer of every name.
TEST(ObserverCheck, FollowsObserversComingAndGoing) {
  NotificationCenter& center = NotificationCenter::defaultCenter();
  const ObserverCheck check(QStringLiteral("ObserverCheckTest.Ping"));
  int named = 0, everything = 0;
  const std::vector<std::pair<std::function<void()>, bool>> steps = {
      {[] {}, false},
      {[&] { center.addObserver(&named, check.name(), nullptr, [](const Notification&) {}); },
       true},
      {[&] { center.removeObserver(&named); }, false},
      {[&] { center.addObserver(&everything, QString(), nullptr, [](const Notification&) {}); },
       true},
      {[&] { center.removeObserver(&everything); }, false},
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    steps[i].first();
    EXPECT_EQ(check.anyone(), steps[i].second) << "step " << i;
    EXPECT_EQ(check.anyone(), steps[i].second) << "step " << i << ", asked again";
  }
}

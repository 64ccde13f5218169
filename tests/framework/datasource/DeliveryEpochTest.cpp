#include "framework/datasource/DeliveryEpoch.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

namespace {

// Retires a fresh object and answers a watch on it.
std::weak_ptr<int> retireOne() {
  auto object = std::make_shared<int>(7);
  std::weak_ptr<int> watched = object;
  DeliveryEpoch::retire(std::move(object));
  return watched;
}

TEST(DeliveryEpoch, WithNoReaderInsideARetiredObjectIsFreedAtOnce) {
  EXPECT_TRUE(retireOne().expired());
  EXPECT_EQ(DeliveryEpoch::collect(), 0u);
}

// The outer reader of a thread keeps the object, however deep the retire
// happened; leaving it frees the object.
TEST(DeliveryEpoch, NestedReadersHoldUntilTheOutermostLeaves) {
  std::weak_ptr<int> watched;
  {
    const DeliveryEpoch::Reader outer;
    {
      const DeliveryEpoch::Reader inner;
      watched = retireOne();
    }
    EXPECT_FALSE(watched.expired());
    EXPECT_EQ(DeliveryEpoch::collect(), 1u);
  }
  EXPECT_TRUE(watched.expired());
}

// A reader on another thread holds what was retired while it was inside;
// a reader that enters after the retire does not, and the object is freed
// by the first reader on its way out.
TEST(DeliveryEpoch, AReaderOnAnotherThreadHoldsWhatWasRetiredWhileItWasInside) {
  std::promise<void> inside, leave;
  std::thread reader([&] {
    const DeliveryEpoch::Reader r;
    inside.set_value();
    leave.get_future().wait();
  });
  inside.get_future().wait();
  const std::weak_ptr<int> watched = retireOne();
  EXPECT_FALSE(watched.expired());
  {
    const DeliveryEpoch::Reader late;
    EXPECT_EQ(DeliveryEpoch::collect(), 1u);
  }
  EXPECT_FALSE(watched.expired());
  leave.set_value();
  reader.join();
  EXPECT_TRUE(watched.expired());
}

}  // namespace

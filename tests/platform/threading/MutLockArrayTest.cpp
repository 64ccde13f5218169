#include "platform/threading/MutLockArray.h"
#include "platform/threading/MutLockDict.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

TEST(MutLockArray, OneCallOperations) {
  MutLockArray<std::string> array;
  array.lockAddObject("a");
  array.lockAddObject("c");
  array.lockInsertObject("b", 1);
  array.lockInsertObject("z", 99);  // past the end: appended
  EXPECT_EQ(array.lockCopy(), (std::vector<std::string>{"a", "b", "c", "z"}));
  EXPECT_EQ(array.lockIndexOfObject("c"), 2u);
  EXPECT_FALSE(array.lockIndexOfObject("nope").has_value());
  EXPECT_EQ(array.lockObjectAtIndex(0), "a");
  EXPECT_FALSE(array.lockObjectAtIndex(4).has_value());
  array.lockRemoveObjectsAtIndexes({3, 0, 3});
  EXPECT_EQ(array.lockCopy(), (std::vector<std::string>{"b", "c"}));
  array.lockAddObject("b");
  array.lockRemoveObject("b");  // every equal element
  EXPECT_EQ(array.lockCopy(), (std::vector<std::string>{"c"}));
  array.lockRemoveAllObjects();
  EXPECT_EQ(array.lockCount(), 0u);
}

TEST(MutLockArray, RemoveIdenticalPtrRemovesOnlyThatObject) {
  struct Item {
    int v;
    bool operator==(const Item& o) const { return v == o.v; }
  };
  MutLockArray<std::shared_ptr<Item>> array;
  auto a = std::make_shared<Item>(Item{1});
  auto equalToA = std::make_shared<Item>(Item{1});
  array.lockAddObject(a);
  array.lockAddObject(equalToA);
  array.lockRemoveIdenticalPtr(a.get());
  ASSERT_EQ(array.lockCount(), 1u);
  EXPECT_EQ(array.lockObjectAtIndex(0)->get(), equalToA.get());
}

TEST(MutLockArray, PerformVisitsInOrderAndMayReenterForReading) {
  MutLockArray<int> array;
  for (int i = 0; i < 5; ++i) array.lockAddObject(i);
  std::vector<int> seen;
  array.lockMakeObjectsPerform([&](int v) {
    seen.push_back(v);
    EXPECT_EQ(array.lockCount(), 5u);  // nested read of the same array
  });
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(MutLockArray, ChangeWhileHoldingTheReadLockIsRefusedNotDeadlocked) {
  MutLockArray<int> array;
  array.lockAddObject(1);
  array.rdlock();
  array.lockAddObject(2);
  EXPECT_EQ(array.count(), 1u);
  array.unlock();
  array.lockAddObject(2);
  EXPECT_EQ(array.lockCount(), 2u);
}

TEST(MutLockArray, ConcurrentWritersAndReaders) {
  MutLockArray<int> array;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&array, t] {
      for (int i = 0; i < 2000; ++i) array.lockAddObject(t * 10000 + i);
    });
    threads.emplace_back([&array] {
      for (int i = 0; i < 2000; ++i) {
        array.rdlock();
        long sum = 0;
        for (int v : array.array()) sum += v;
        array.unlock();
        (void)sum;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(array.lockCount(), 8000u);
}

TEST(MutLockDict, SetGetRemove) {
  MutLockDict<std::string, int> dict;
  EXPECT_FALSE(dict.lockObjectForKey("a").has_value());
  dict.lockSetObject(1, "a");
  dict.lockSetObject(2, "a");
  dict.lockSetObject(3, "b");
  EXPECT_EQ(dict.lockObjectForKey("a"), 2);
  EXPECT_EQ(dict.lockCount(), 2u);
  dict.lockRemoveObjectForKey("a");
  EXPECT_FALSE(dict.lockObjectForKey("a").has_value());
  dict.rdlock();
  EXPECT_EQ(dict.dict().at("b"), 3);
  dict.unlock();
}

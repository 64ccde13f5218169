#include "framework/controls/ControlLockGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// The smallest control that follows the fan-out protocol: fan out first,
// stop on an echo, then apply and (maybe) output.
struct FakeControl : std::enable_shared_from_this<FakeControl> {
  explicit FakeControl(std::string n) : name(std::move(n)) {}
  std::string name;
  ControlLockGroup<FakeControl> group;
  std::atomic<int> value{0};
  std::atomic<int> applied{0};
  std::atomic<int> outputs{0};

  void setValue(int v, bool output) {
    using FanOut = ControlLockGroup<FakeControl>::FanOut;
    if (group.fanOut(output, [v](FakeControl& other, bool out) { other.setValue(v, out); }) ==
        FanOut::Busy)
      return;
    value = v;
    ++applied;
    if (output) ++outputs;
  }

  void lockToMe(const std::shared_ptr<FakeControl>& other) {
    other->group.setMaster(shared_from_this());
    other->group.setIsMember(true);
    group.addMember(other);
    group.setIsMaster(group.hasAnyMember());
  }
};

using Ptr = std::shared_ptr<FakeControl>;

struct Trio {
  Ptr master = std::make_shared<FakeControl>("M");
  Ptr a = std::make_shared<FakeControl>("A");
  Ptr b = std::make_shared<FakeControl>("B");
  Trio() {
    master->lockToMe(a);
    master->lockToMe(b);
  }
  std::vector<Ptr> all() const { return {master, a, b}; }
};

}  // namespace

TEST(ControlLockGroup, EveryMemberChangesExactlyOnceWithTheCallersOutputFlag) {
  struct Case {
    const char* startOn;
    bool output;
  };
  for (const Case& c :
       {Case{"M", true}, Case{"A", true}, Case{"M", false}, Case{"A", false}, Case{"B", false}}) {
    SCOPED_TRACE(std::string(c.startOn) + (c.output ? " with output" : " silent"));
    Trio trio;
    for (const Ptr& control : trio.all()) {
      if (control->name == c.startOn) control->setValue(7, c.output);
    }
    for (const Ptr& control : trio.all()) {
      EXPECT_EQ(control->value, 7) << control->name;
      EXPECT_EQ(control->applied, 1) << control->name;
      EXPECT_EQ(control->outputs, c.output ? 1 : 0) << control->name;
    }
  }
}

TEST(ControlLockGroup, UnlinkedControlAppliesLocallyAndHeldLockDropsTheChange) {
  FakeControl alone("alone");
  EXPECT_FALSE(alone.group.tryLock());  // not linked: never "okay to trigger"
  alone.setValue(3, true);
  EXPECT_EQ(alone.applied, 1);

  Trio trio;
  ASSERT_TRUE(trio.a->group.tryLock());  // as if A's fan-out were running on another thread
  trio.a->setValue(5, true);
  EXPECT_EQ(trio.a->applied, 0);
  EXPECT_EQ(trio.master->applied, 0);
  trio.a->group.unlock();
}

TEST(ControlLockGroup, MasterThatIsAlsoAMemberFansOutDownOnly) {
  Trio trio;
  Ptr top = std::make_shared<FakeControl>("top");
  trio.master->group.setMaster(top);
  trio.master->group.setIsMember(true);  // locked upwards, but also a master
  top->group.addMember(trio.master);
  top->group.setIsMaster(true);

  trio.master->setValue(2, true);
  EXPECT_EQ(top->applied, 0);
  EXPECT_EQ(trio.a->applied, 1);
  EXPECT_EQ(trio.b->applied, 1);
}

TEST(ControlLockGroup, MembershipKeepsOrderRefusesDuplicatesAndPrunesTheGone) {
  auto master = std::make_shared<FakeControl>("M");
  auto a = std::make_shared<FakeControl>("A");
  auto b = std::make_shared<FakeControl>("B");
  EXPECT_TRUE(master->group.addMember(a));
  EXPECT_FALSE(master->group.addMember(a));
  EXPECT_TRUE(master->group.addMember(b));
  EXPECT_EQ(master->group.members(), (std::vector<Ptr>{a, b}));

  const FakeControl* goneIdentity = a.get();
  a.reset();
  EXPECT_EQ(master->group.members(), (std::vector<Ptr>{b}));
  EXPECT_TRUE(master->group.containsMember(goneIdentity));  // listed until detached

  std::vector<std::string> detached;
  master->group.detachAllMembers([&](FakeControl& m) { detached.push_back(m.name); });
  EXPECT_EQ(detached, (std::vector<std::string>{"B"}));
  EXPECT_FALSE(master->group.hasAnyMember());
}

// Members come and go on one thread while another fans out: the fan-out
// walks a copy, so this must run clean under ThreadSanitizer and never touch
// a control after it was released.
TEST(ControlLockGroup, MembershipChangesWhileAnotherThreadFansOut) {
  auto master = std::make_shared<FakeControl>("M");
  master->group.setIsMaster(true);
  std::atomic<bool> stop{false};
  std::thread fanning([&] {
    while (!stop) master->setValue(1, true);
  });
  while (master->applied == 0) std::this_thread::yield();
  for (int i = 0; i < 2000; ++i) {
    auto member = std::make_shared<FakeControl>("m");
    member->group.setMaster(master);
    member->group.setIsMember(true);
    master->group.addMember(member);
    if (i % 2 == 0) master->group.removeMember(member.get());
  }
  stop = true;
  fanning.join();
}

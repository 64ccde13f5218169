#include "tests/framework/controls/ButtonFixture.h"

#include "platform/foundation/MainThread.h"

#include <QDialog>

#include <functional>
#include <future>
#include <thread>

namespace {

struct Set {
  int value;
  bool output;
};

}  // namespace

using ButtonValue = ButtonFixture;

TEST_F(ButtonValue, SettingTheValueStoresAndBangsByTheTable) {
  struct Case {
    const char* name;
    int type;
    std::vector<Set> sets;
    int finalValue;
    int bangs;
  };
  const Case cases[] = {
      {"seven on a button at 0 stores 1 and bangs", 0, {{7, true}}, 1, 1},
      {"seven again still differs from the stored 1", 0, {{7, true}, {7, true}}, 1, 2},
      {"an unchanged momentary button stays silent", 0, {{1, true}, {1, true}}, 1, 1},
      {"an unchanged toggle button bangs all the same", 1, {{1, true}, {1, true}}, 1, 2},
      {"minus one is mixed", 1, {{-1, true}}, -1, 1},
      {"without output nothing bangs", 1, {{1, false}, {0, false}, {0, false}}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cell = button(c.type);
    for (const Set& s : c.sets) cell->setIntValue(s.value, s.output);
    EXPECT_EQ(cell->intValue(), c.finalValue);
    EXPECT_EQ(bangsOf(cell.get()), c.bangs);
  }
}

TEST_F(ButtonValue, FloatsAreTruncatedTowardZero) {
  struct Case {
    float in;
    int stored;
  };
  for (const Case& c : {Case{0.999f, 0}, Case{-1.5f, -1}, Case{2.5f, 1}, Case{-0.5f, 0}}) {
    auto cell = button(1);
    cell->setIntValue(1, false);
    cell->setFloatValue(c.in, false);
    EXPECT_EQ(cell->intValue(), c.stored) << c.in;
  }
}

TEST_F(ButtonValue, ToggleFlipsToggleButtonsAndBangsUnlessAModalWindowIsOpen) {
  auto toggleButton = button(1);
  toggleButton->setIntValue(-1, false);
  toggleButton->toggle();
  EXPECT_EQ(toggleButton->intValue(), 1);
  EXPECT_EQ(bangsOf(toggleButton.get()), 1);

  auto momentary = button(0);
  momentary->toggle();
  EXPECT_EQ(momentary->intValue(), 0);
  EXPECT_EQ(bangsOf(momentary.get()), 1);

  {
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    QCoreApplication::processEvents();
    toggleButton->toggle();
    momentary->toggle();
    dialog.hide();
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(toggleButton->intValue(), 0) << "the value still flips";
  EXPECT_EQ(bangsOf(toggleButton.get()), 1);
  EXPECT_EQ(bangsOf(momentary.get()), 1);
}

TEST_F(ButtonValue, NoTargetOrDeletionMeansNoAction) {
  auto cell = button(1);
  alive.reset();
  cell->setIntValue(1);
  cell->toggle();
  EXPECT_EQ(bangCount(), 0);
  EXPECT_EQ(cell->intValue(), 1) << "toggle does nothing without a target";

  alive = std::make_shared<int>(0);
  auto deleted = button(1);
  deleted->prepareToBeDeleted();
  deleted->bang();
  deleted->setIntValue(1);
  EXPECT_EQ(bangCount(), 0);
  EXPECT_TRUE(deleted->createSnapshot().isEmpty());
}

// A target whose owner lets it go while the action runs (a listener's
// controller closing on the main thread) lives until the action returns.
TEST_F(ButtonValue, TheCellHoldsItsTargetUntilTheActionReturns) {
  const std::vector<std::pair<const char*, std::function<void(QKButtonCell&)>>> triggers = {
      {"bang", [](QKButtonCell& cell) { cell.bang(); }},
      {"toggle", [](QKButtonCell& cell) { cell.toggle(); }},
      {"set value", [](QKButtonCell& cell) { cell.setIntValue(1); }},
  };
  for (const auto& [name, trigger] : triggers) {
    auto target = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = target;
    auto cell = QKButtonCell::create();
    cell->setTarget(target);
    bool heldDuringAction = false;
    cell->setAction([&](QKButtonCell&) {
      target.reset();
      heldDuringAction = !watch.expired();
    });
    trigger(*cell);
    EXPECT_TRUE(heldDuringAction) << name;
    EXPECT_TRUE(watch.expired()) << name << ": let go once the action returned";
    cell->prepareToBeDeleted();
  }
}

TEST_F(ButtonValue, ActionRunsOnTheCallersThreadOrLaterOnTheMainThread) {
  auto direct = button(0);
  auto queued = button(0);
  queued->setTriggerOnMain(true);
  QThread* worker = nullptr;
  std::thread([&] {
    worker = QThread::currentThread();
    direct->bang();
    queued->bang();
  }).join();
  ASSERT_EQ(bangsOf(direct.get()), 1);
  EXPECT_EQ(bangThreads.front(), worker);
  EXPECT_EQ(bangsOf(queued.get()), 0) << "queued, not run yet";

  ASSERT_TRUE(MainThread::processUntil([&] { return bangsOf(queued.get()) == 1; }, 2.0));
  EXPECT_EQ(bangThreads.back(), QCoreApplication::instance()->thread());
  EXPECT_EQ(banged.back(), queued.get()) << "the sender is the cell";
}

TEST_F(ButtonValue, ACopyKeepsItsSettingsButNotItsState) {
  auto original = button(1, QStringLiteral("Play"));
  original->setTitle2(QStringLiteral("Stop"));
  original->setKey(QStringLiteral("k"));
  original->setTriggerOnMain(true);
  original->setTriggerMode(0);
  original->setIntValue(1, false);
  original->useThisSource({QStringLiteral("MIDI"), QStringLiteral("x")});
  auto copy = original->copy();
  made.push_back(copy);
  EXPECT_EQ(copy->title(), QStringLiteral("Play"));
  EXPECT_EQ(copy->title2(), QStringLiteral("Stop"));
  EXPECT_EQ(copy->key(), QStringLiteral("k"));
  EXPECT_EQ(copy->buttonType(), 1);
  EXPECT_EQ(copy->triggerMode(), 0);
  EXPECT_TRUE(copy->triggerOnMain());
  EXPECT_EQ(copy->intValue(), 0);
  EXPECT_EQ(copy->syncArray(), (KeyPath{"Mouse", "X"}));
}

// --- Lock groups -----------------------------------------------------------------------

class ButtonLockGroup : public ButtonFixture {
 protected:
  ButtonLockGroup() {
    master->lockThisButtonToMe(a);
    master->lockThisButtonToMe(b);
    std::lock_guard<std::mutex> lock(mutex);
    banged.clear();
  }
  std::shared_ptr<QKButtonCell> master = button(0, "M");
  std::shared_ptr<QKButtonCell> a = button(0, "A");
  std::shared_ptr<QKButtonCell> b = button(0, "B");
};

TEST_F(ButtonLockGroup, AChangeReachesEveryMemberOnceWithTheCallersOutputFlag) {
  struct Case {
    const char* name;
    int start;  // 0: M, 1: A
    bool output;
    int bangsEach;
  };
  const Case cases[] = {
      {"started on a member with output", 1, true, 1},
      {"a silent set on a member stays silent everywhere", 1, false, 0},
      {"a silent set on the master stays silent everywhere", 0, false, 0},
      {"started on the master with output", 0, true, 1},
  };
  int value = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      std::lock_guard<std::mutex> lock(mutex);
      banged.clear();
    }
    (c.start == 0 ? master : a)->setIntValue(value, c.output);
    for (const auto& cell : {master, a, b}) {
      EXPECT_EQ(cell->intValue(), value) << cell->title().toStdString();
      EXPECT_EQ(bangsOf(cell.get()), c.bangsEach) << cell->title().toStdString();
    }
    value = 1 - value;
  }
}

TEST_F(ButtonLockGroup, ANewMemberTakesTheMastersStateAndUnlockingFreesEveryone) {
  auto source = sourceAt({QStringLiteral("ZAPH"), QStringLiteral("s")}, DSType::FloatInfrequent);
  master->useThisSource({QStringLiteral("ZAPH"), QStringLiteral("s")});
  master->setSyncFlag(true);
  master->setThreshVal(0.3f);
  master->setTriggerOnFall(true);
  master->setIntValue(1, false);
  auto late = button(0, "late");
  master->lockThisButtonToMe(late);
  EXPECT_EQ(late->syncArray(), (KeyPath{"ZAPH", "s"}));
  EXPECT_TRUE(late->syncFlag());
  EXPECT_FLOAT_EQ(late->threshVal(), 0.3f);
  EXPECT_TRUE(late->triggerOnFall());
  EXPECT_EQ(late->intValue(), 1);
  EXPECT_EQ(master->lockedButtonArray().size(), 3u);

  master->lockThisButtonToMe(late);  // twice changes nothing
  EXPECT_EQ(master->lockedButtonArray().size(), 3u);

  master->unlockMe();
  EXPECT_TRUE(master->lockedButtonArray().empty());
  for (const auto& cell : {a, b, late}) {
    EXPECT_FALSE(cell->lockedFlag());
    EXPECT_EQ(cell->lockedButtonSrc(), nullptr);
  }
  a->setIntValue(0, false);
  EXPECT_EQ(master->intValue(), 1) << "no longer shared";
}

TEST_F(ButtonLockGroup, DeletingAMemberLeavesTheGroup) {
  a->prepareToBeDeleted();
  ASSERT_EQ(master->lockedButtonArray().size(), 1u);
  master->setIntValue(1, true);
  EXPECT_EQ(bangsOf(b.get()), 1);
  EXPECT_EQ(bangsOf(a.get()), 0);
}

TEST_F(ButtonLockGroup, MembershipChangesWhileAnotherThreadTriggers) {
  std::atomic<bool> stop{false};
  std::thread trigger([&] {
    int v = 0;
    while (!stop.load()) {
      a->setIntValue(v, false);
      b->setIntValue(1 - v, false);
      v = 1 - v;
    }
  });
  for (int i = 0; i < 200; ++i) {
    auto extra = button(0, "extra");
    master->lockThisButtonToMe(extra);
    extra->unlockMe();
    extra->prepareToBeDeleted();
  }
  stop.store(true);
  trigger.join();
  EXPECT_EQ(master->lockedButtonArray().size(), 2u);
}

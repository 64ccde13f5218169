#include "framework/controls/QKSliderCell.h"
#include "tests/framework/controls/SliderFakes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A master with two members, each with a view and a counting target.
struct LockedTrio {
  ViewedSlider master, a, b;
  LockedTrio() {
    master.cell->lockThisSliderToMe(a.cell);
    master.cell->lockThisSliderToMe(b.cell);
    for (ViewedSlider* s : all()) s->outputs.clear();
  }
  std::vector<ViewedSlider*> all() { return {&master, &a, &b}; }
};

}  // namespace

TEST(SliderLocking, EveryMemberChangesExactlyOnce) {
  struct Case {
    const char* name;
    int startOn;  // 0 master, 1 a, 2 b
    bool output;
  };
  for (const Case& c : {Case{"on the master", 0, true}, Case{"on a member", 1, true},
                        Case{"silent on a member", 2, false}}) {
    SCOPED_TRACE(c.name);
    LockedTrio trio;
    auto chain = std::make_shared<FakeChain>([](float v) { return v; });
    for (ViewedSlider* s : trio.all()) {
      s->cell->useThisBehavior(chain);
      s->cell->setBehaviorFlag(true);
    }
    chain->passes = 0;
    trio.all()[c.startOn]->cell->setValue(0.7f, c.output);
    EXPECT_EQ(chain->passes, 3);  // one evaluation per slider
    for (ViewedSlider* s : trio.all()) {
      EXPECT_FLOAT_EQ(s->cell->value(), 0.7f);
      EXPECT_EQ(s->outputs.size(), c.output ? 1u : 0u);
    }
  }
}

TEST(SliderLocking, EnvelopeAndMarkChangesReachTheGroupOnce) {
  LockedTrio trio;
  trio.a.cell->setValue(0.9f);
  for (ViewedSlider* s : trio.all()) s->outputs.clear();
  trio.b.cell->setMaxEnv(0.6f);  // each slider re-evaluates itself once
  for (ViewedSlider* s : trio.all()) {
    EXPECT_FLOAT_EQ(s->cell->maxEnv(), 0.6f);
    EXPECT_FLOAT_EQ(s->cell->value(), 0.6f);
    EXPECT_EQ(s->outputs.size(), 1u);
  }
  trio.master.cell->addInterestingPoint(1.7f);  // each clamps for itself
  trio.a.cell->addInterestingPoint(0.2f);
  trio.b.cell->removeInterestingPoint(0.2f);
  for (ViewedSlider* s : trio.all()) EXPECT_EQ(s->cell->interestingPoints(), (QList<float>{1.0f}));
}

TEST(SliderLocking, LockingCopiesTheMastersSettingsButNotItsInterfaceLock) {
  ViewedSlider master, member;
  auto chain = std::make_shared<FakeChain>([](float v) { return v; }, QStringLiteral("c"));
  master.cell->setMinEnv(0.1f);
  master.cell->setMaxEnv(0.9f);
  master.cell->setValue(0.3f);
  master.cell->addInterestingPoint(0.4f);
  master.cell->useThisSource(KeyPath{"ZAPH", "Clock", "beat"});
  master.cell->useThisBehavior(chain);
  master.cell->setLockUIFlag(true);
  member.cell->setLockUIFlag(false);
  member.cell->addInterestingPoint(0.8f);

  master.cell->lockThisSliderToMe(member.cell);
  EXPECT_TRUE(master.cell->hasLockedSliders());
  EXPECT_TRUE(member.cell->lockedFlag());
  EXPECT_EQ(member.cell->lockedSliderSrc(), master.cell);
  EXPECT_FLOAT_EQ(member.cell->value(), 0.3f);
  EXPECT_FLOAT_EQ(member.cell->minEnv(), 0.1f);
  EXPECT_FLOAT_EQ(member.cell->maxEnv(), 0.9f);
  EXPECT_EQ(member.cell->interestingPoints(), (QList<float>{0.4f}));
  EXPECT_EQ(member.cell->syncArray(), (KeyPath{"ZAPH", "Clock", "beat"}));
  EXPECT_FALSE(member.cell->lockUIFlag());

  // Locking the same slider again changes nothing.
  master.cell->lockThisSliderToMe(member.cell);
  EXPECT_EQ(master.cell->lockedSliderArray().size(), 1u);
  master.cell->lockThisSliderToMe(master.cell);
  EXPECT_FALSE(master.cell->lockedFlag());
}

TEST(SliderLocking, LockingAMasterToAnotherFreesItsOwnMembers) {
  ViewedSlider a, b, c;
  b.cell->lockThisSliderToMe(c.cell);
  a.cell->lockThisSliderToMe(b.cell);
  EXPECT_FALSE(c.cell->lockedFlag());
  EXPECT_FALSE(b.cell->hasLockedSliders());
  EXPECT_TRUE(b.cell->lockedFlag());

  c.outputs.clear();
  a.cell->setValue(0.2f);
  EXPECT_TRUE(c.outputs.empty());
  EXPECT_FLOAT_EQ(b.cell->value(), 0.2f);
}

TEST(SliderLocking, UnlockingAndRetiringLeaveTheGroup) {
  LockedTrio trio;
  trio.a.cell->unlockMe();
  EXPECT_FALSE(trio.a.cell->lockedFlag());
  EXPECT_EQ(trio.a.cell->lockedSliderSrc(), nullptr);
  EXPECT_EQ(trio.master.cell->lockedSliderArray(), (std::vector<QKSliderCell::Ptr>{trio.b.cell}));
  trio.a.cell->setValue(0.1f);
  EXPECT_NE(trio.b.cell->value(), 0.1f);

  trio.master.cell->prepareToBeDeleted();  // frees its members
  EXPECT_FALSE(trio.b.cell->lockedFlag());
  EXPECT_TRUE(trio.master.cell->lockedSliderArray().empty());
  trio.b.cell->setValue(0.3f);
  EXPECT_FLOAT_EQ(trio.b.cell->value(), 0.3f);
}

// Sliders locked both ways round never recurse: the second arrival at a
// slider whose fan-out is running returns at once.
TEST(SliderLocking, MutualLockDoesNotRecurse) {
  ViewedSlider a, b;
  a.cell->lockThisSliderToMe(b.cell);
  b.cell->lockThisSliderToMe(a.cell);  // frees b first, then makes a its member
  a.outputs.clear();
  b.outputs.clear();
  a.cell->setValue(0.42f);
  EXPECT_FLOAT_EQ(b.cell->value(), 0.42f);
  EXPECT_EQ(a.outputs.size(), 1u);
  EXPECT_EQ(b.outputs.size(), 1u);
}

// Members join and leave on the main thread while a data-source thread sets
// the master's value (clean under ThreadSanitizer).
TEST(SliderLocking, GroupChangesWhileAnotherThreadSetsValues) {
  ViewedSlider master;
  std::atomic<bool> stop{false};
  std::thread values([&] {
    for (int i = 0; !stop; ++i) master.cell->setValue((i % 10) / 10.0f, false);
  });
  for (int i = 0; i < 200; ++i) {
    auto member = QKSliderCell::create();
    master.cell->lockThisSliderToMe(member);
    if (i % 2) member->unlockMe();
    member->prepareToBeDeleted();
  }
  stop = true;
  values.join();
  EXPECT_TRUE(master.cell->lockedSliderArray().empty());
}

TEST(SliderSelection, SelectionAppliesTheColourSetsTextAttributes) {
  FakeSliderManager manager;
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(11);
  QVariantMap leaf{{QStringLiteral("QKSliderTextAttribs"),
                    QVariantMap{{QKSafeString::NSForegroundColorAttributeName, QColor(Qt::white)}}},
                   {QStringLiteral("QKSliderEnvTextAttribs"),
                    QVariantMap{{QKSafeString::NSFontAttributeName, font}}}};
  manager.colors = {
      {QStringLiteral("selected"),
       QVariantMap{{QStringLiteral("unsync"), QVariantMap{{QStringLiteral("non-HLM"), leaf}}}}}};
  ViewedSlider slider;
  slider.cell->setSliderManager(&manager);
  slider.cell->setSelected(true);
  EXPECT_EQ(slider.cell->getRelevantColorDict(), leaf);
  EXPECT_EQ(slider.cell->sliderNameText().foregroundColor(), QColor(Qt::white));
  EXPECT_EQ(slider.cell->valueText().font().pointSizeF(), 11.0);
  slider.cell->setSelected(false);
  EXPECT_TRUE(slider.cell->getRelevantColorDict().isEmpty());

  // A selected slider refreshes the inspector and its value text on every
  // evaluation; an unselected one rewrites the text every tenth time only.
  slider.cell->setSelected(true);
  manager.valueRefreshes = 0;
  slider.cell->setValue(0.25f);
  EXPECT_EQ(manager.valueRefreshes, 1);
  EXPECT_EQ(slider.cell->valueText().string(), "0.25");
  slider.cell->setSelected(false);
  int changes = 0;
  QString text = slider.cell->valueText().string();
  for (int i = 1; i <= 10; ++i) {
    slider.cell->setValue(i / 100.0f);
    changes += slider.cell->valueText().string() != text;
    text = slider.cell->valueText().string();
  }
  EXPECT_EQ(changes, 1);
}

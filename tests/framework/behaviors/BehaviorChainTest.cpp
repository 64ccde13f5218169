#include "BehaviorFixture.h"

#include "framework/behaviors/Fall.h"
#include "framework/behaviors/Threshold.h"
#include "framework/controls/QKSliderControl.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"
#include "platform/foundation/NotificationCenter.h"

#include <atomic>
#include <utility>

namespace {

// Counts the passes that reach it.
class PassCounter : public FXObject {
 public:
  explicit PassCounter(const QString& name) : FXObject(name) {}
  void processPassedPtr(void*) override { ++passes; }
  std::atomic<int> passes{0};
};

class BehaviorChainTest : public BehaviorFixture {
 protected:
  // A chain of the named behaviours and a pass counter, used by two sliders.
  BehaviorChainManager::ChainPtr chainOf(const QStringList& names) {
    auto chain = chains().createNewChain();
    for (const QString& name : names) chain->loadEffectNamed(name);
    counter_ = FXObject::make<PassCounter>(QStringLiteral("Counter"));
    chain->addEffectObject(counter_);
    for (int i = 0; i < 2; ++i) {
      QKSliderCell::Ptr slider = cell();
      slider->setValue(0.5f, false);
      slider->useThisBehavior(chain);
      slider->setBehaviorFlag(true);
      sliders_.push_back(slider);
    }
    return chain;
  }
  int passesOnTick() {
    const int before = counter_->passes.load();
    sliderManager_->evaluateContinuousBehaviors();
    return counter_->passes.load() - before;
  }

  std::shared_ptr<PassCounter> counter_;
  std::vector<QKSliderCell::Ptr> sliders_;
};

TEST_F(BehaviorChainTest, AChainWithFallRunsEveryTickUntilFallGoes) {
  auto chain = chainOf({QStringLiteral("Fall")});
  EXPECT_TRUE(chain->evaluateConsistently());
  EXPECT_EQ(passesOnTick(), 2);
  EXPECT_EQ(passesOnTick(), 2);

  chain->deleteEffectNamed(QStringLiteral("Fall"));
  EXPECT_FALSE(chain->evaluateConsistently());
  EXPECT_EQ(passesOnTick(), 0);
}

TEST_F(BehaviorChainTest, ASliderWithFallKeepsFallingOnTicksWhileItsInputStands) {
  auto chain = chains().createNewChain();
  chain->loadEffectNamed(QStringLiteral("Fall"));
  QKSliderCell::Ptr slider = cell();
  slider->useThisBehavior(chain);
  slider->setBehaviorFlag(true);
  slider->setValue(0.5f);
  EXPECT_EQ(slider->value(), 0.5f);
  for (float expected : {0.25f, 0.125f, 0.0625f}) {
    sliderManager_->evaluateContinuousBehaviors();
    EXPECT_FLOAT_EQ(slider->value(), expected);
  }
}

// The tick walks sliders of different chains in turn: each passes through
// its own chain, also right after another slider changed chain.
TEST_F(BehaviorChainTest, ATickPassesEachSliderThroughItsOwnChain) {
  std::vector<BehaviorChainManager::ChainPtr> chainPair;
  std::vector<std::shared_ptr<PassCounter>> counters;
  for (int c = 0; c < 2; ++c) {
    chainPair.push_back(chains().createNewChain());
    chainPair.back()->loadEffectNamed(QStringLiteral("Fall"));
    counters.push_back(FXObject::make<PassCounter>(QStringLiteral("Counter")));
    chainPair.back()->addEffectObject(counters.back());
  }
  std::vector<QKSliderCell::Ptr> sliders;
  for (int i = 0; i < 4; ++i) {
    sliders.push_back(cell());
    sliders.back()->useThisBehavior(chainPair[i % 2]);
    sliders.back()->setBehaviorFlag(true);
  }
  const auto tick = [&] {
    const int before[2] = {counters[0]->passes.load(), counters[1]->passes.load()};
    sliderManager_->evaluateContinuousBehaviors();
    return std::pair(counters[0]->passes.load() - before[0],
                     counters[1]->passes.load() - before[1]);
  };
  EXPECT_EQ(tick(), std::pair(2, 2));
  sliders[2]->useThisBehavior(chainPair[1]);
  EXPECT_EQ(tick(), std::pair(1, 3));
  sliders[1]->setBehaviorFlag(false);
  EXPECT_EQ(tick(), std::pair(1, 2));
}

// A chain that has gone is not run, even by a slider that was not told
// and still names it, while the tick holds another chain.
TEST_F(BehaviorChainTest, ASliderOfAChainThatHasGoneIsNotPassed) {
  QKSliderCell::Ptr user = cell();
  QKSliderCell::Ptr orphan = cell();
  {
    auto gone = std::make_shared<BehaviorFXChain>(&chains());
    gone->loadEffectNamed(QStringLiteral("Fall"));
    orphan->useThisBehavior(gone);
    orphan->setBehaviorFlag(true);
  }
  auto other = std::make_shared<BehaviorFXChain>(&chains());
  other->loadEffectNamed(QStringLiteral("Fall"));
  auto counter = FXObject::make<PassCounter>(QStringLiteral("Counter"));
  other->addEffectObject(counter);
  user->useThisBehavior(other);
  user->setBehaviorFlag(true);
  sliderManager_->evaluateContinuousBehaviors();
  EXPECT_EQ(counter->passes.load(), 1);
}

// A slider's state dropped while the slider lives (its deletion announced)
// starts again: the next pass is a first pass, which leaves the value.
TEST_F(BehaviorChainTest, ASliderWhoseStateWasDroppedStartsAgain) {
  auto chain = chains().createNewChain();
  chain->loadEffectNamed(QStringLiteral("Fall"));
  QKSliderCell::Ptr slider = cell();
  slider->useThisBehavior(chain);
  slider->setBehaviorFlag(true);
  slider->setValue(0.5f);
  sliderManager_->evaluateContinuousBehaviors();
  ASSERT_FLOAT_EQ(slider->value(), 0.25f);

  NotificationCenter::defaultCenter().post(QKSliderManager::kDeleteSliderNotification,
                                           slider.get());
  slider->setValue(0.5f);
  EXPECT_FLOAT_EQ(slider->value(), 0.5f);
  sliderManager_->evaluateContinuousBehaviors();
  EXPECT_FLOAT_EQ(slider->value(), 0.25f);
}

TEST_F(BehaviorChainTest, TimeBasedBehavioursMakeTheChainRunEveryTick) {
  for (const char* name : {"Smooth", "SmoothWrap", "Fall", "Delay"}) {
    auto chain = chains().createNewChain();
    chain->loadEffectNamed(QString::fromLatin1(name));
    EXPECT_TRUE(chain->evaluateConsistently()) << name;
  }
  auto chain = chains().createNewChain();
  chain->loadEffectNamed(QStringLiteral("Invert"));
  EXPECT_FALSE(chain->evaluateConsistently());
}

TEST_F(BehaviorChainTest, AStatelessChainRunsOnAValueOrOnceAfterAParameterChange) {
  auto chain = chainOf({QStringLiteral("Threshold")});
  EXPECT_EQ(passesOnTick(), 0);

  sliders_[0]->setValue(0.7f, false);
  EXPECT_EQ(counter_->passes.load(), 1);
  EXPECT_EQ(sliders_[0]->value(), 1.0f);

  auto threshold = std::dynamic_pointer_cast<Threshold>(chain->findEffectNamed("Threshold"));
  threshold->setThreshold(0.8f);
  EXPECT_TRUE(chain->needsEvaluation());
  EXPECT_EQ(passesOnTick(), 2);
  EXPECT_EQ(sliders_[0]->value(), 0.0f) << "re-run on the last input with the new threshold";
  EXPECT_FALSE(chain->needsEvaluation());
  EXPECT_EQ(passesOnTick(), 0);
}

TEST_F(BehaviorChainTest, AParameterSliderMarksItsChain) {
  auto chain = chainOf({QStringLiteral("Fall")});
  auto fall = std::dynamic_pointer_cast<Fall>(chain->findEffectNamed("Fall"));
  auto* slider = fall->myPanel()->findChild<QKSliderControl*>(QStringLiteral("smoothAmtSlider"));
  ASSERT_NE(slider, nullptr);
  slider->setValue(0.25f);
  EXPECT_FLOAT_EQ(fall->smoothingFactor(), 0.25f);
  EXPECT_TRUE(chain->needsEvaluation());
}

TEST_F(BehaviorChainTest, ABehaviourWithoutItsPanelLogsAndStaysBypassed) {
  LayoutRegistry empty;
  LayoutRegistry::setShared(&empty);
  LogCapture log;
  for (const auto& [name, line] :
       {std::pair{"Threshold", "\t\terror while loading the .nib"},
        std::pair{"Offset", "\t\terror while loading the QKOffsetBehavior.nib"},
        std::pair{"MinMax", "\t\terror while loading the QKMinMaxBehavior.nib"},
        std::pair{"Delay", "\t\terror while loading the NumberDelayBehavior.nib"}}) {
    log.clear();
    auto made = behavior(QString::fromLatin1(name));
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->bypass()) << name;
    EXPECT_EQ(made->myPanel(), nullptr);
    EXPECT_TRUE(log.lines().contains(QString::fromLatin1(line))) << name;
    QKSliderCell::Ptr slider = cell();
    EXPECT_EQ(pass(*made, *slider, 0.3f), 0.3f);
  }
  LayoutRegistry::setShared(&registry_);
}

TEST_F(BehaviorChainTest, TheManagerMakesTheNineteenBehavioursAndNothingElse) {
  EXPECT_EQ(chains().behaviorDict().size(), 19);
  for (const QString& name : chains().behaviorDict().keys()) {
    auto made = chains().returnNewEffectNamed(name);
    ASSERT_NE(made, nullptr) << name.toStdString();
    EXPECT_EQ(made->myName(), name);
    EXPECT_EQ(made->className(), chains().behaviorDict().value(name));
    EXPECT_FALSE(made->bypass()) << name.toStdString();
  }
  EXPECT_EQ(chains().returnNewEffectNamed(QStringLiteral("Blur")), nullptr);
}

// --- Manager -----------------------------------------------------------------

using BehaviorChainManagerTest = BehaviorFixture;

TEST_F(BehaviorChainManagerTest, NewChainsTakeTheFirstFreeUntitledNumber) {
  auto first = chains().createNewChain();
  auto second = chains().createNewChain();
  EXPECT_EQ(first->chainName(), "untitled 1");
  EXPECT_EQ(second->chainName(), "untitled 2");
  chains().deleteChain(first);
  EXPECT_EQ(chains().createNewChain()->chainName(), "untitled 1");
  EXPECT_EQ(chains().chainNames(), QStringList({"untitled 2", "untitled 1"}));
}

TEST_F(BehaviorChainManagerTest, RenamingToANameInUseIsRefused) {
  auto a = chains().createNewChain();
  auto b = chains().createNewChain();
  NotificationCounter renamed(QKSliderManager::kBehaviorNameChangeNotification);
  EXPECT_FALSE(chains().renameChain(b, a->chainName()));
  EXPECT_FALSE(chains().renameChain(b, QString()));
  EXPECT_EQ(b->chainName(), "untitled 2");
  EXPECT_EQ(renamed.count(), 0);

  QKSliderCell::Ptr slider = cell();
  slider->useThisBehavior(b);
  EXPECT_TRUE(chains().renameChain(b, QStringLiteral("Wobble")));
  EXPECT_EQ(renamed.count(), 1);
  EXPECT_EQ(chains().findBehaviorChainNamed(QStringLiteral("Wobble")), b);
  EXPECT_EQ(slider->behaviorName(), "Wobble");
}

TEST_F(BehaviorChainManagerTest, ADeletedChainIsTakenFromItsSlidersFirst) {
  auto chain = chains().createNewChain();
  QKSliderCell::Ptr slider = cell();
  slider->useThisBehavior(chain);
  slider->setBehaviorFlag(true);
  bool listedWhenPosted = false;
  NotificationObservers watcher;
  watcher.observe(
      QKSliderManager::kBehaviorChainDeletedNotification, nullptr, [&](const Notification&) {
        listedWhenPosted = chains().findBehaviorChainNamed(chain->chainName()) != nullptr;
      });
  chains().deleteChain(chain);
  EXPECT_TRUE(listedWhenPosted);
  EXPECT_EQ(slider->behaviorChain(), nullptr);
  EXPECT_FALSE(slider->behaviorFlag());
  EXPECT_TRUE(chains().chainNames().isEmpty());
}

TEST_F(BehaviorChainManagerTest, TheProjectSnapshotRoundTripsIntoChainsOfTheSameName) {
  auto a = chains().createNewChain();
  chains().renameChain(a, QStringLiteral("A"));
  a->loadEffectNamed(QStringLiteral("Smooth"));
  a->loadEffectNamed(QStringLiteral("Threshold"));
  std::dynamic_pointer_cast<Threshold>(a->findEffectNamed("Threshold"))
      ->myPanel()
      ->findChild<QKSliderControl*>(QStringLiteral("threshSlider"))
      ->setValue(0.7f);
  auto b = chains().createNewChain();
  chains().renameChain(b, QStringLiteral("B"));
  b->loadEffectNamed(QStringLiteral("Invert"));
  const QVariantList saved = chains().createSnapshot();
  ASSERT_EQ(saved.size(), 2);

  // Opened where the chain files of this run are not.
  Paths::setUserDataDirOverride(TestEnvironment::makeTempDir(QStringLiteral("elsewhere")));
  BehaviorChainManager restored;
  auto existing = std::make_shared<BehaviorFXChain>(&restored);
  existing->setChainName(QStringLiteral("A"));
  existing->loadEffectNamed(QStringLiteral("Smooth"));
  const auto keptSmooth = existing->findEffectNamed(QStringLiteral("Smooth"));
  restored.addChainToList(existing);

  restored.loadSnapshot(saved);
  EXPECT_EQ(restored.chainNames(), QStringList({"A", "B"}));
  EXPECT_EQ(restored.findBehaviorChainNamed("A"), existing);
  EXPECT_EQ(existing->findEffectNamed(QStringLiteral("Smooth")), keptSmooth)
      << "a behaviour that stays keeps its object and state";
  auto threshold = std::dynamic_pointer_cast<Threshold>(existing->findEffectNamed("Threshold"));
  ASSERT_NE(threshold, nullptr);
  EXPECT_FLOAT_EQ(threshold->threshold(), 0.7f);
  EXPECT_EQ(restored.createSnapshot(), saved);
}

TEST_F(BehaviorChainManagerTest, MalformedProjectEntriesAreSkipped) {
  LogCapture log;
  chains().loadSnapshot(QVariantList{
      QVariantMap{{"QKPMNameKey", 3}, {"snapshot", QVariantList{}}},
      QVariantMap{{"QKPMNameKey", "NoSnapshot"}}, QStringLiteral("not a dictionary"),
      QVariantMap{{"QKPMNameKey", "Good"},
                  {"snapshot", QVariantList{QVariantMap{{"fxNameString", "Invert"}},
                                            QVariantMap{{"fxNameString", "Nonsense"}}}}}});
  EXPECT_EQ(chains().chainNames(), QStringList({"Good"}));
  EXPECT_EQ(chains().findBehaviorChainNamed("Good")->count(), 1);
  EXPECT_GE(log.lines().size(), 3);
}

}  // namespace

// Run under ThreadSanitizer: the tick passes sliders through chains of two
// windows while the main thread edits, moves, shows and deletes chains and
// reads and writes their files.
#include "BehaviorFixture.h"

#include "framework/behaviors/BehaviorChainListController.h"
#include "framework/behaviors/BehaviorChainWindow.h"
#include "platform/foundation/MainThread.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using BehaviorChainWindowRace = BehaviorFixture;

TEST_F(BehaviorChainWindowRace, TheTickPassesChainsOfTwoWindowsWhileTheMainThreadEditsThem) {
  chains().openANewWindow();
  chains().openANewWindow();
  auto first = chains().windowAt(0);
  auto second = chains().windowAt(1);
  std::vector<BehaviorChainManager::ChainPtr> made;
  for (int i = 0; i < 4; ++i) {
    auto& window = i % 2 ? *second : *first;
    auto chain = window.chainListController()->createNewChain();
    chain->loadEffectNamed(i % 2 ? "Fall" : "Smooth");
    chain->loadEffectNamed("Invert");
    made.push_back(chain);
  }
  std::vector<QKSliderCell::Ptr> sliders;
  for (int i = 0; i < 200; ++i) {
    QKSliderCell::Ptr slider = cell(static_cast<float>(i) / 200.0f);
    slider->useThisBehavior(made[static_cast<std::size_t>(i) % made.size()]);
    slider->setBehaviorFlag(true);
    sliders.push_back(slider);
  }

  std::atomic<bool> stop{false};
  std::atomic<int> ticks{0};
  std::atomic<int> found{0};
  std::thread tick([&] {
    while (!stop.load()) {
      sliderManager_->evaluateContinuousBehaviors();
      if (sliderManager_->findBehaviorChainNamed("untitled 2")) ++found;
      ++ticks;
    }
  });

  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
  for (int step = 0; std::chrono::steady_clock::now() < end; ++step) {
    const auto chainsNow = chains().allChains();
    const auto& chain = chainsNow[static_cast<std::size_t>(step) % chainsNow.size()];
    BehaviorChainWindow* from = chain->myBehaviorChainWindow();
    BehaviorChainWindow* to = from == first.get() ? second.get() : first.get();
    switch (step % 5) {
      case 0:
        from->removeChainFromMyList(chain);
        to->addChainToMyList(chain);
        break;
      case 1:
        chain->loadEffectNamed("Scale");
        break;
      case 2:
        if (chain->count() > 2) chain->deleteThisEffect(chain->fxArray().back().get());
        break;
      case 3:
        from->selectChain(chain);
        break;
      case 4: {
        auto extra = to->chainListController()->createNewChain();
        extra->loadEffectNamed("Delay");
        chains().saveFXChainsToDisk();
        chains().deleteChain(extra);
        break;
      }
    }
    MainThread::processUntil([] { return false; }, 0.001);
  }
  stop = true;
  tick.join();

  EXPECT_GT(ticks.load(), 0);
  EXPECT_EQ(chains().allChains().size(), made.size());
  for (const auto& slider : sliders) EXPECT_NE(slider->behaviorChain(), nullptr);
}

}  // namespace

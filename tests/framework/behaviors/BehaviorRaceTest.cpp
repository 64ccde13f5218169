// Run under ThreadSanitizer: per-slider state, parameters and deletions
// meet on the tick, input and main threads.
#include "BehaviorFixture.h"

#include "framework/behaviors/Fall.h"
#include "framework/behaviors/NumberDelayBehavior.h"
#include "framework/behaviors/Smooth.h"
#include "framework/controls/QKSliderControl.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using BehaviorRaceTest = BehaviorFixture;

TEST_F(BehaviorRaceTest, TickInputAndMainThreadsShareStatefulChains) {
  auto chain = chains().createNewChain();
  for (const char* name : {"Smooth", "Fall", "Delay"}) chain->loadEffectNamed(name);
  std::vector<QKSliderCell::Ptr> sliders;
  for (int i = 0; i < 300; ++i) {
    QKSliderCell::Ptr slider = cell(static_cast<float>(i) / 300.0f);
    slider->useThisBehavior(chain);
    slider->setBehaviorFlag(true);
    sliders.push_back(slider);
  }
  auto fall = std::dynamic_pointer_cast<Fall>(chain->findEffectNamed("Fall"));
  auto* factor = fall->myPanel()->findChild<QKSliderControl*>(QStringLiteral("smoothAmtSlider"));
  ASSERT_NE(factor, nullptr);

  std::atomic<bool> stop{false};
  std::atomic<int> ticks{0};
  std::thread tick([&] {
    while (!stop.load()) {
      sliderManager_->evaluateContinuousBehaviors();
      ++ticks;
    }
  });
  std::thread input([&, copies = sliders] {
    unsigned n = 0;
    while (!stop.load()) {
      copies[n % copies.size()]->setValue(static_cast<float>(n % 97) / 97.0f);
      ++n;
    }
  });

  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
  std::size_t next = 0;
  for (int step = 0; std::chrono::steady_clock::now() < end; ++step) {
    factor->setValue(static_cast<float>(step % 10) / 10.0f);
    if (step % 4 == 0 && next < sliders.size()) sliders[next++]->prepareToBeDeleted();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  stop = true;
  tick.join();
  input.join();

  EXPECT_GT(ticks.load(), 0);
  EXPECT_GT(next, 0u);
  const auto smooth = std::dynamic_pointer_cast<Smooth>(chain->findEffectNamed("Smooth"));
  const auto delay =
      std::dynamic_pointer_cast<NumberDelayBehavior>(chain->findEffectNamed("Delay"));
  // Deleted sliders leave no state behind.
  for (const auto& count :
       {smooth->sliderStateCount(), fall->sliderStateCount(), delay->sliderStateCount()})
    EXPECT_LE(count, sliders.size() - next);
}

}  // namespace

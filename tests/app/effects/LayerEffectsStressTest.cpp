// Layers' effect chains edited while frames run. Run under ThreadSanitizer
// (the tsan preset) to see races; here it also shows that nothing
// deadlocks and every frame ends.
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "app/effects/LayerFXObject.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "tests/app/compositor/LayerFixture.h"
#include "tests/app/compositor/MovingSliders.h"
#include "tests/app/compositor/RunningFrames.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

class LayerEffectsStressTest : public LayerGLTest {
 protected:
  void SetUp() override {
    LayerGLTest::SetUp();
    if (IsSkipped()) return;
    LayerFXChainAdapter::install(*world_->compositor, std::make_shared<LayerChainManager>());
  }
  static LayerFXChain& chainOf(Layer& layer) {
    return static_cast<LayerFXChainAdapter*>(layer.fxChain())->chain();
  }
};

// The main thread inserts, deletes, reorders and restores effects while
// frames run on the render thread and a tick thread moves the effects'
// wet/dry sliders and the layers' opacity ("alphaNumber").
TEST_F(LayerEffectsStressTest, EffectEditsFramesAndSlidersRunTogether) {
  Compositor& compositor = *world_->compositor;
  RunningFrames frames(compositor);
  MovingSliders sliders;
  const auto watch = [&](const QKSliderCell::Ptr& cell) { sliders.add(cell); };

  const char* const filters[] = {"Bright", "Contrast", "FadeToBlack", "ChannelSlide"};
  for (int round = 0; round < 8; ++round) {
    compositor.setContentsRenderingMode(round % 2);
    auto first = world_->solidLayer(QColor::fromHsv(round * 40, 255, 255));
    auto second = world_->solidLayer(QColor::fromHsv(round * 40 + 120, 255, 255));
    watch(first->alphaSlider()->cellPtr());
    watch(second->alphaSlider()->cellPtr());
    LayerFXChain& chain = chainOf(*first);
    for (const char* filter : filters) {
      ASSERT_TRUE(first->addCIFXNamed(QLatin1String(filter))) << filter;
      watch(static_cast<LayerFXObject*>(chain.fxArray().back().get())->wetDrySlider());
    }
    QCoreApplication::processEvents();
    // Reordered: the last to the front.
    const FXChain::Element last = chain.fxArray().back();
    chain.removeEffectFromChain(last.get());
    chain.insertEffectObject(last, 0);
    chain.deleteThisEffect(chain.fxArray()[1].get());
    // Restored onto the other layer, and back with one effect fewer.
    chainOf(*second).loadSnapshot(chain.createSnapshot());
    for (const auto& element : chainOf(*second).fxArray())
      watch(static_cast<LayerFXObject*>(element.get())->wetDrySlider());
    chain.deleteEffectNamed(chain.fxArray().front()->myName());
    chain.loadSnapshot(chainOf(*second).createSnapshot());
    QCoreApplication::processEvents();
    compositor.deleteAllLayers();
    QCoreApplication::processEvents();
  }
  sliders.stop();
  frames.stop();
  EXPECT_GT(frames.count(), 0);
  EXPECT_TRUE(compositor.topLevelLayers().empty());
}

}  // namespace

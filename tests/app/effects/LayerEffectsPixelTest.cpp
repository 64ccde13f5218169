// A compositor layer's image through its effect chain in a whole frame.
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "app/effects/LayerFXObject.h"
#include "framework/controls/QKSliderCell.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/ImageContext.h"
#include "tests/app/compositor/LayerFixture.h"

#include <gtest/gtest.h>

namespace {

constexpr QSize kCanvas(640, 480);

class LayerEffectsPixelTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    world_ = std::make_unique<LayerWorld>();
    world_->compositor->setLayerChainFactory(
        LayerFXChainAdapter::factory(std::make_shared<LayerChainManager>()));
  }
  void TearDown() override {
    world_.reset();
    GLTest::TearDown();
  }
  Compositor& compositor() { return *world_->compositor; }
  static LayerFXChain& chainOf(Layer& layer) {
    return static_cast<LayerFXChainAdapter*>(layer.fxChain())->chain();
  }

  // The centre of the canvas after one frame, made opaque (the output is).
  QColor centre() {
    QColor colour;
    onRenderThread([&] {
      Compositor::FrameState state;
      auto locks = compositor().tryLockForFrame(&state);
      ASSERT_TRUE(locks);
      compositor().render(gl::DisplayLink::Frame{});
      gl::RenderTarget target;
      const gl::TextureHandle texture = gl::TexturePool::shared().acquire(kCanvas);
      target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(kCanvas)));
      ASSERT_TRUE(target.bind(texture));
      target.clear(QVector4D(0, 0, 0, 1));
      image::ImageContext context;
      compositor().drawContent(state, target, context);
      locks.reset();
      colour = read(texture).pixelColor(320, 240);
      target.detach();
    });
    colour.setAlpha(255);
    return colour;
  }

  std::unique_ptr<LayerWorld> world_;
};

TEST_F(LayerEffectsPixelTest, TheLayersImagePassesThroughItsEffectsInTheFrame) {
  auto layer = world_->solidLayer(QColor(255, 0, 0));
  layer->setDFactor(Layer::kOverFactor);
  ASSERT_NE(layer->fxChain(), nullptr);
  EXPECT_FALSE(layer->addCIFXNamed("NoSuchFilter"));
  ASSERT_TRUE(layer->addCIFXNamed("FadeToBlack"));
  LayerFXChain& chain = chainOf(*layer);
  ASSERT_EQ(chain.count(), 1);
  auto* fade = static_cast<LayerFXObject*>(chain.fxArray()[0].get());

  struct Case {
    float wetDry;
    QColor expected;
  };
  // From one half up the opaque black covers the red whole (at one straight
  // into the layer's buffer, below one through the mix); at zero the
  // effect is skipped.
  for (const Case& c :
       {Case{1.0f, QColor(0, 0, 0)}, Case{0.5f, QColor(0, 0, 0)}, Case{0.0f, QColor(255, 0, 0)}}) {
    fade->wetDrySlider()->setValue(c.wetDry);
    EXPECT_TRUE(near(centre(), c.expected, 3)) << "wet/dry " << c.wetDry;
  }
  // Below one half the black is mixed in part.
  fade->wetDrySlider()->setValue(0.25f);
  const QColor part = centre();
  EXPECT_GT(part.red(), 40);
  EXPECT_LT(part.red(), 215);
  EXPECT_LE(part.green() + part.blue(), 4);

  fade->wetDrySlider()->setValue(1.0f);
  chain.deleteThisEffect(fade);
  EXPECT_EQ(chain.count(), 0);
  EXPECT_TRUE(near(centre(), QColor(255, 0, 0), 3));
}

}  // namespace

// Real filter effects through a layer's chain on the render thread.
#include "app/effects/CIFXLoader.h"
#include "app/effects/FilterFXContext.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/CIAttributeLoader.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/filters/CustomFilters.h"
#include "framework/render/MutableTextureObject.h"
#include "platform/gl/RenderTarget.h"
#include "tests/app/effects/EffectsFixture.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"

#include <algorithm>

namespace {

class EffectsPixelTest : public GLTest, public ChainFixture {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    LogCapture quiet;
    CustomFilters::initialize();
    host.size = QSizeF(8, 8);
    host.bufferB = gl::TexturePool::shared().acquire(QSize(8, 8));
  }
  std::shared_ptr<CIFXLoader> addFilter(LayerFXChain& target, const char* name,
                                        const QVariantMap& values, float wetDry) {
    auto effect = CIFXLoader::create(QLatin1String(name), QRectF(0, 0, 8, 8));
    EXPECT_TRUE(effect && effect->renderContext()) << name;
    // Each value set on the panel's slider, as a performer would.
    auto* context = dynamic_cast<FilterFXContext*>(effect->renderContext());
    EXPECT_TRUE(context) << name;
    for (auto it = values.cbegin(); context && it != values.cend(); ++it) {
      const auto element = context->attributeLoader()->findElementWithKey(it.key());
      auto* slider = element ? dynamic_cast<QKSliderControl*>(element->view()) : nullptr;
      EXPECT_TRUE(slider) << name << " " << it.key().toStdString();
      if (slider) slider->setValueWithRangedValue(it.value().toFloat(), true);
    }
    effect->wetDrySlider()->setValue(wetDry);
    target.insertEffectObject(effect, 99);
    return effect;
  }
  // The chain's picture of a solid colour; with `stale`, every buffer it
  // may draw into first holds that opaque colour, as after an earlier frame.
  QColor through(LayerFXChain& target, const QColor& colour, const QColor& stale = QColor()) {
    QColor result;
    onRenderThread([&] {
      auto& pool = gl::TexturePool::shared();
      MutableTextureObject passed;
      passed.setTextureRef(solidTexture(QSize(8, 8), colour));
      passed.setBufferARef(pool.acquire(QSize(8, 8)));
      passed.setBufferBRef(pool.acquire(QSize(8, 8)));
      passed.setBufferCRef(pool.acquire(QSize(8, 8)));
      if (stale.isValid())
        for (const gl::TextureHandle& buffer :
             {passed.bufferARef(), passed.bufferBRef(), passed.bufferCRef(), host.bufferB}) {
          gl::RenderTarget fill;
          if (!fill.bind(buffer)) continue;
          fill.clear(QVector4D(stale.redF(), stale.greenF(), stale.blueF(), 1));
          fill.detach();
        }
      target.passPtrThruChain(&passed);
      result = read(passed.textureRef()).pixelColor(4, 4);
    });
    return result;
  }
};

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

TEST_F(EffectsPixelTest, TwoFiltersAtFullAndPartWetDry) {
  const QColor in(100, 150, 200);
  addFilter(chain, "Bright", {{"bright", 0.2}}, 1.0f);
  addFilter(chain, "Contrast", {{"contrast", 2.0}}, 1.0f);
  auto reference = [](double v, double contrastMix) {
    const double bright = clamp01(v + 0.2);
    const double contrasted = clamp01((bright - 0.5) * 2 + 0.5);
    return contrasted * contrastMix + bright * (1 - contrastMix);
  };
  const QColor full = through(chain, in);
  EXPECT_TRUE(
      near(full,
           QColor::fromRgbF(float(reference(in.redF(), 1)), float(reference(in.greenF(), 1)),
                            float(reference(in.blueF(), 1))),
           3));

  // At a quarter the contrast shows at half strength over its input (the
  // wet image at opacity 2w over the dry one).
  static_cast<LayerFXObject*>(chain.fxArray()[1].get())->wetDrySlider()->setValue(0.25f);
  const QColor quarter = through(chain, in);
  // Colour only: the blend mixer's alpha is its own matter.
  QColor quarterOpaque = quarter;
  quarterOpaque.setAlpha(255);
  EXPECT_TRUE(
      near(quarterOpaque,
           QColor::fromRgbF(float(reference(in.redF(), 0.5)), float(reference(in.greenF(), 0.5)),
                            float(reference(in.blueF(), 0.5))),
           4));

  // The chain's snapshot on a fresh layer gives the same picture.
  LayerFXChain fresh(&manager);
  fresh.setHost(&host);
  fresh.loadSnapshot(chain.createSnapshot());
  ASSERT_EQ(fresh.count(), 2);
  EXPECT_TRUE(near(through(fresh, in), quarter, 1));
}

// Two brightening effects over buffers that still hold an earlier frame:
// at a mix of exactly 1 the picture is the filters' own, its alpha kept and
// nothing of the old pixels under it; just below 1 the mix runs and gives
// the same colour within a step.
TEST_F(EffectsPixelTest, AFullMixGivesTheFiltersOwnPictureOverStaleBuffers) {
  struct Case {
    float lastWetDry;
    QColor in;
    QColor expected;
  };
  const Case cases[] = {
      {1.0f, QColor(100, 150, 200), QColor(151, 201, 251)},
      {1.0f, QColor(100, 150, 200, 128), QColor(151, 201, 251, 128)},
      {0.999f, QColor(100, 150, 200), QColor(151, 201, 251)},
  };
  addFilter(chain, "Bright", {{"bright", 0.1}}, 1.0f);
  auto last = addFilter(chain, "Bright", {{"bright", 0.1}}, 1.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lastWetDry);
    SCOPED_TRACE(c.in.alpha());
    last->wetDrySlider()->setValue(c.lastWetDry);
    EXPECT_TRUE(near(through(chain, c.in, QColor(255, 255, 0)), c.expected, 1));
  }
}

// The chain supplies the effect's own image: its panel offers a tap only
// for the filter's other image inputs.
TEST_F(EffectsPixelTest, TheEffectPanelHasNoTapForTheFiltersOwnImage) {
  struct Case {
    const char* filter;
    QStringList taps;
    const char* slider;
  };
  for (const Case& c :
       {Case{"CIGaussianBlur", {}, "inputRadius"}, Case{"AlphaMask", {"maskImage"}, "contrast"}}) {
    auto effect = CIFXLoader::create(QLatin1String(c.filter), QRectF(0, 0, 8, 8));
    ASSERT_TRUE(effect) << c.filter;
    auto* context = dynamic_cast<FilterFXContext*>(effect->renderContext());
    ASSERT_TRUE(context && context->attributeLoader()) << c.filter;
    const CIAttributeLoader& panel = *context->attributeLoader();
    QStringList taps;
    for (const auto& tap : panel.tapArray()) taps << tap->key();
    EXPECT_EQ(taps.join(",").toStdString(), c.taps.join(",").toStdString()) << c.filter;
    EXPECT_FALSE(panel.findElementWithKey("inputImage")) << c.filter;
    EXPECT_TRUE(panel.findElementWithKey(QLatin1String(c.slider))) << c.filter;
  }
}

}  // namespace

// A compositor layer's image through its effect chain in a whole frame.
#include "app/compositor/CompModeLists.h"
#include "app/compositor/LayerPanel.h"
#include "app/effects/CIFXLoader.h"
#include "app/effects/FilterFXContext.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "app/effects/LayerFXObject.h"
#include "app/effects/LayerFXObjectPanel.h"
#include "app/effects/QCFXContext.h"
#include "app/effects/QCFXLoader.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/fx/FXChainDragDestBox.h"
#include "framework/params/CIAttributeLoader.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QCPanelElement.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "tests/app/compositor/CanvasFrame.h"
#include "tests/app/compositor/LayerFixture.h"
#include "tests/support/Screenshot.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr QSize kCanvas(640, 480);

class LayerEffectsPixelTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    world_ = std::make_unique<LayerWorld>();
    LayerFXChainAdapter::install(*world_->compositor, std::make_shared<LayerChainManager>());
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
    QImage pixels;
    onRenderThread([&] { pixels = drawCanvasFrame(compositor(), kCanvas); });
    EXPECT_FALSE(pixels.isNull()) << "the frame could not be drawn";
    QColor colour = pixels.pixelColor(320, 240);
    colour.setAlpha(255);
    return colour;
  }

  // Adds the filter to the layer with one parameter set on its panel's
  // slider, at the wet/dry amount.
  LayerFXObject& addEffect(Layer& layer, const char* filter, const char* key, float value,
                           float wetDry) {
    EXPECT_TRUE(layer.addCIFXNamed(QLatin1String(filter))) << filter;
    auto* effect = static_cast<LayerFXObject*>(chainOf(layer).fxArray().back().get());
    auto* context = dynamic_cast<FilterFXContext*>(effect->renderContext());
    const auto element =
        context ? context->attributeLoader()->findElementWithKey(QLatin1String(key)) : nullptr;
    auto* slider = element ? dynamic_cast<QKSliderControl*>(element->view()) : nullptr;
    EXPECT_TRUE(slider) << filter << " " << key;
    if (slider) slider->setValueWithRangedValue(value, true);
    effect->wetDrySlider()->setValue(wetDry);
    return *effect;
  }
  // The colour at the centre of the layer's finished image.
  QColor finished(Layer& layer) {
    QColor colour;
    onRenderThread([&] {
      const gl::TextureHandle buffer = layer.pBufferBRef();
      ASSERT_TRUE(buffer);
      const QImage image = read(buffer);
      colour = image.pixelColor(image.width() / 2, image.height() / 2);
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

// The compositor makes either kind of effect by name at the output's size,
// and a layer's chain asks it whether a fullscreen output hides alerts.
TEST_F(LayerEffectsPixelTest, TheCompositorMakesEffectsByNameAtTheOutputsSize) {
  const auto filter =
      std::dynamic_pointer_cast<CIFXLoader>(compositor().createCIFXLoaderInstanceNamed("Bright"));
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->renderSize(), compositor().displaySize());
  EXPECT_FALSE(filter->myChain());
  EXPECT_FALSE(compositor().createCIFXLoaderInstanceNamed("NoSuchFilter"));
  const auto composition =
      std::dynamic_pointer_cast<QCFXLoader>(compositor().createQCFXLoaderInstanceNamed("Tint.qtz"));
  ASSERT_TRUE(composition);
  EXPECT_EQ(composition->renderSize(), compositor().displaySize());
  EXPECT_FALSE(compositor().createQCFXLoaderInstanceNamed("None.qtz"));

  auto layer = world_->solidLayer(QColor(255, 0, 0));
  auto* host = static_cast<LayerFXChainAdapter*>(layer->fxChain());
  EXPECT_FALSE(host->willFullscreenHideAModal());
  compositor().setModalHiddenTest([] { return true; });
  EXPECT_TRUE(host->willFullscreenHideAModal());
}

// Two layers of one size share one buffer set in filter mode; each layer's
// effect at 0.5 renders, rotates and mixes through it, and each finishes
// with its own picture.
TEST_F(LayerEffectsPixelTest, TwoSameSizeLayersWithMixedEffectsInFilterModeEachKeepTheirOwn) {
  compositor().setContentsRenderingMode(0);
  auto bottom = world_->solidLayer(QColor(200, 100, 50));
  auto top = world_->solidLayer(QColor(100, 150, 200));
  ASSERT_EQ(bottom->layerSize(), top->layerSize());
  addEffect(*bottom, "Contrast", "contrast", 2.0f, 0.5f);
  addEffect(*top, "Bright", "bright", 0.2f, 0.5f);
  // At 0.5 the mixer's blend shows the effect whole over the opaque input.
  const auto contrast = [](int v) {
    return int(std::lround(255 * std::clamp((v / 255.0 - 0.5) * 2 + 0.5, 0.0, 1.0)));
  };
  const auto bright = [](int v) {
    return int(std::lround(255 * std::clamp(v / 255.0 + 0.2, 0.0, 1.0)));
  };
  for (int frame = 0; frame < 2; ++frame) {
    centre();
    EXPECT_TRUE(near(finished(*bottom), QColor(contrast(200), contrast(100), contrast(50)), 3))
        << "frame " << frame;
    EXPECT_TRUE(near(finished(*top), QColor(bright(100), bright(150), bright(200)), 3))
        << "frame " << frame;
  }
}

// A performer's effects show as panels in the layer window's chain area:
// switched off and on, mixed, given a mix mode, folded and deleted from
// their panels; every step shows in the next frame.
// A composition effect's panel drives its inputs (the orange tint shows on
// grey), leaves out the image input the layer feeds, shows in the effect's panel, and its snapshot
// gives another layer's effect the same picture.
TEST_F(LayerEffectsPixelTest, ACompositionEffectsPanelDrivesItAndItsSnapshotCarriesTheValues) {
  auto layer = world_->solidLayer(QColor(200, 200, 200));
  layer->setDFactor(Layer::kOverFactor);
  ASSERT_TRUE(layer->addQCFXNamed("Tint.qtz"));
  auto* tint = static_cast<LayerFXObject*>(chainOf(*layer).fxArray().back().get());
  auto* context = dynamic_cast<QCFXContext*>(tint->renderContext());
  ASSERT_TRUE(context);
  QCAttributeLoader* loader = context->attributeLoader();
  ASSERT_TRUE(loader);
  EXPECT_EQ(tint->panel()->parameterView(), loader);
  EXPECT_FALSE(loader->findElementWithKey("inputImage"));
  for (const char* key : {"amount", "invert", "tintColor", "mode"})
    EXPECT_TRUE(loader->findElementWithKey(QLatin1String(key))) << key;

  const auto amount = loader->findElementWithKey("amount");
  auto* slider = dynamic_cast<QKSliderControl*>(amount->view());
  ASSERT_TRUE(slider);
  slider->setValueWithRangedValue(0.0f, true);
  const QColor untinted = centre();
  slider->setValueWithRangedValue(1.0f, true);
  const QColor tinted = centre();
  EXPECT_GT(std::abs(untinted.red() - tinted.red()) + std::abs(untinted.green() - tinted.green()) +
                std::abs(untinted.blue() - tinted.blue()),
            30)
      << "the amount never reached the composition";

  const std::optional<QVariantMap> snapshot = tint->createSnapshot();
  ASSERT_TRUE(snapshot);
  auto other = world_->solidLayer(QColor(200, 200, 200));
  ASSERT_TRUE(other->addQCFXNamed("Tint.qtz"));
  auto* copy = static_cast<LayerFXObject*>(chainOf(*other).fxArray().back().get());
  copy->loadSnapshot(*snapshot);
  centre();
  centre();
  EXPECT_TRUE(near(finished(*other), finished(*layer), 3));
  EXPECT_FALSE(near(finished(*other), untinted, 3));
}

// Two built-in filters and the shipped tint composition at a wet/dry mix
// change a grey layer, and the chain's snapshot restored onto a fresh layer
// gives the same picture.
TEST_F(LayerEffectsPixelTest, AChainOfFiltersAndACompositionComesBackFromItsSnapshot) {
  const QColor grey(160, 160, 160);
  auto layer = world_->solidLayer(grey);
  addEffect(*layer, "Bright", "bright", 0.1f, 1.0f);
  addEffect(*layer, "Contrast", "contrast", 1.5f, 1.0f);
  ASSERT_TRUE(layer->addQCFXNamed("Tint.qtz"));
  auto* tint = static_cast<LayerFXObject*>(chainOf(*layer).fxArray().back().get());
  tint->wetDrySlider()->setValue(0.5f);
  ASSERT_EQ(chainOf(*layer).count(), 3);
  centre();
  const QColor original = finished(*layer);
  EXPECT_FALSE(near(original, grey, 10)) << "the effects changed nothing";
  // Orange tint: red stays above blue.
  EXPECT_GT(original.red(), original.blue() + 20);

  const QVariantList snapshot = chainOf(*layer).createSnapshot();
  auto fresh = world_->solidLayer(grey);
  chainOf(*fresh).loadSnapshot(snapshot);
  ASSERT_EQ(chainOf(*fresh).count(), 3);
  centre();
  centre();
  EXPECT_TRUE(near(finished(*fresh), original, 3));
}

TEST_F(LayerEffectsPixelTest, TheLayerWindowShowsSwitchesMixesAndDeletesEffectPanels) {
  compositor().populateCompFilterTypes();
  compositor().setLayerWindowFactory(
      [](Compositor& owner) { return std::make_unique<LayerPanel>(&owner); });
  auto layer = world_->solidLayer(QColor(255, 0, 0));
  layer->setDFactor(Layer::kOverFactor);
  auto* panel = dynamic_cast<LayerPanel*>(compositor().layerWindowArray().front().get());
  ASSERT_NE(panel, nullptr);
  panel->showLayer(layer.get());
  LayerFXChain& chain = chainOf(*layer);
  QWidget* view = panel->effectsView();
  ASSERT_EQ(view, chain.myView());
  EXPECT_TRUE(view->isVisible());
  FXChainDragDestBox* box = chain.backgroundBox();
  EXPECT_TRUE(box->acceptDrops());

  ASSERT_TRUE(layer->addCIFXNamed("FadeToBlack"));
  ASSERT_EQ(chain.count(), 1);
  auto* effect = static_cast<LayerFXObject*>(chain.fxArray()[0].get());
  auto* effectPanel = effect->panel();
  ASSERT_EQ(effectPanel->parentWidget(), box);
  EXPECT_TRUE(effectPanel->isVisible());
  EXPECT_EQ(effectPanel->width(),
            static_cast<QAbstractScrollArea*>(panel->fxScrollView())->viewport()->width());
  ASSERT_TRUE(effectPanel->onOffButton() && effectPanel->wetDrySlider());
  EXPECT_TRUE(near(centre(), QColor(0, 0, 0), 3));

  QTest::mouseClick(effectPanel->onOffButton(), Qt::LeftButton);
  EXPECT_TRUE(effect->bypass());
  EXPECT_TRUE(near(centre(), QColor(255, 0, 0), 3));
  QTest::mouseClick(effectPanel->onOffButton(), Qt::LeftButton);
  EXPECT_FALSE(effect->bypass());

  effectPanel->wetDrySlider()->setValueWithRangedValue(0.25f);
  EXPECT_FLOAT_EQ(effect->wetDrySliderValue(), 0.25f);
  const QColor part = centre();
  EXPECT_GT(part.red(), 40);
  EXPECT_LT(part.red(), 215);

  // The mix-mode pop-up holds the compositor's comp modes and shows the
  // mixer's; choosing "OpenGL Add" makes the mixer blend.
  QComboBox* mix = effectPanel->mixModePopUp();
  EXPECT_EQ(mix->count(), compositor().compModeLists().humanNames.size());
  EXPECT_EQ(mix->currentData().toInt(), effect->updateCompButton());
  const int addRow = mix->findText(CompModeLists::kAddTitle);
  ASSERT_GE(addRow, 0);
  mix->setCurrentIndex(addRow);
  Q_EMIT mix->activated(addRow);
  EXPECT_EQ(LayerFXObject::compValueFor(*effect->mixer()), "770:772");

  // A filter with parameters shows its panel under its wet/dry slider,
  // below the first effect's panel.
  ASSERT_TRUE(layer->addCIFXNamed("Bright"));
  ASSERT_EQ(chain.count(), 2);
  auto* bright = static_cast<LayerFXObject*>(chain.fxArray()[1].get());
  LayerFXObjectPanel* brightPanel = bright->panel();
  ASSERT_TRUE(brightPanel->parameterView());
  EXPECT_TRUE(brightPanel->parameterView()->isVisible());
  EXPECT_GT(brightPanel->y(), effectPanel->y() + effectPanel->height() - 1);

  // Folded, a layer effect keeps its title strip and mix-mode row.
  const QPoint triangle = effectPanel->imageRects().expandCollapse.center().toPoint();
  QTest::mouseClick(effectPanel, Qt::LeftButton, {}, triangle);
  EXPECT_TRUE(effect->collapsed());
  EXPECT_EQ(effectPanel->height(), int(LayerFXObject::kCollapsedHeight));
  EXPECT_EQ(brightPanel->y(), effectPanel->y() + effectPanel->height() + 1);

  QTest::qWait(100);
  saveScreenshot(panel->window()->screen()->grabWindow(panel->window()->winId()).toImage(),
                 "layer-panel-effects");

  QTest::mouseClick(effectPanel, Qt::LeftButton, {}, triangle);
  EXPECT_FALSE(effect->collapsed());
  const QPoint remove = effectPanel->imageRects().remove.center().toPoint();
  QTest::mouseClick(effectPanel, Qt::LeftButton, {}, remove);
  EXPECT_EQ(chain.count(), 2);  // deleted from the event loop
  QTest::qWait(50);
  EXPECT_EQ(chain.count(), 1);
  EXPECT_EQ(brightPanel->parentWidget(), box);
  EXPECT_TRUE(near(centre(), QColor(255, 0, 0), 3));
  compositor().deleteAllLayers();
  EXPECT_EQ(panel->effectsView(), nullptr);
}

}  // namespace

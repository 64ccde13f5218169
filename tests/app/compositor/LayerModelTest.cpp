#include "LayerFixture.h"

#include "app/compositor/LayerSizeController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/media/QKFile.h"
#include "framework/taps/QKRTap.h"
#include "platform/gl/TexturePool.h"
#include "platform/foundation/MainThread.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterRegistry.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

class LayerModelTest : public ::testing::Test {
 protected:
  LayerWorld world;
};

TEST_F(LayerModelTest, AFreshLayerHasTheDefaultsOfItsKind) {
  auto layer = world.compositor->createNewLayer();
  EXPECT_EQ(layer->layerName(), "Layer 1");
  EXPECT_EQ(layer->description(), "<Layer Layer 1>");
  EXPECT_EQ(layer->layerSize(), QSizeF(320, 240));
  EXPECT_FLOAT_EQ(layer->alphaVal(), 1.0f);
  EXPECT_EQ(layer->compName(), QString("OpenGL Add"));
  EXPECT_EQ(layer->sFactor(), 0x0302u);
  EXPECT_EQ(layer->dFactor(), 0x0304u);
  EXPECT_EQ(layer->contentsRenderingMode(), 1);
  EXPECT_EQ(layer->groupRenderingMode(), 1);
  EXPECT_EQ(layer->compRenderingMode(), 0);
  EXPECT_EQ(layer->currentSource(), nullptr);
  EXPECT_EQ(layer->currentSourceAsString(), "nil");
  EXPECT_FALSE(layer->groupFlag());
  EXPECT_TRUE(layer->isTopLevel());
  EXPECT_NE(world.compositor->createNewLayer()->uniqueID(), layer->uniqueID());
  for (const QString& kind :
       {VidSourceObject::kQCSource, VidSourceObject::kMovieSource, VidSourceObject::kTapSource,
        VidSourceObject::kImageSource, VidSourceObject::kWebSource}) {
    ASSERT_NE(layer->sourceOfKind(kind), nullptr) << kind.toStdString();
    EXPECT_EQ(layer->sourceOfKind(kind)->name(), kind);
  }
  EXPECT_EQ(layer->alphaButton()->intValue(), 1);
  EXPECT_EQ(layer->alphaButton()->title(), "Show");
}

TEST_F(LayerModelTest, SliderAndButtonFollowEachOtherWithoutOutput) {
  auto layer = world.compositor->createNewLayer();
  QKSliderControl* slider = layer->alphaSlider();
  QKButton* button = layer->alphaButton();
  struct Step {
    const char* what;
    float slider;  // NAN: press the button instead
    int button;
    float alphaVal;
    int buttonAfter;
  };
  const Step steps[] = {
      {"slider to 0.5", 0.5f, -1, 0.5f, 1}, {"slider to 0", 0.0f, -1, 0.0f, 0},
      {"slider to 0.7", 0.7f, -1, 0.7f, 1}, {"button to 0", NAN, 0, 0.0f, 0},
      {"button to 1", NAN, 1, 1.0f, 1},
  };
  for (const Step& step : steps) {
    if (std::isnan(step.slider)) {
      button->setIntValue(step.button, true);
    } else {
      slider->setValueWithRangedValue(step.slider, true);
    }
    EXPECT_FLOAT_EQ(layer->alphaVal(), step.alphaVal) << step.what;
    EXPECT_EQ(button->intValue(), step.buttonAfter) << step.what;
    if (std::isnan(step.slider)) {
      EXPECT_FLOAT_EQ(slider->value(), step.alphaVal) << step.what;
    }
  }
}

TEST_F(LayerModelTest, OneOpacitiesHolderWithAChildPerLayerThatMovesAndGoes) {
  auto a = world.compositor->createNewLayer();
  auto b = world.compositor->createNewLayer();
  auto holder = std::dynamic_pointer_cast<DataSourceHolder>(
      world.dsc.dataSourceForKeyArray({Layer::kOpacitiesHolder}));
  ASSERT_TRUE(holder);
  EXPECT_TRUE(world.dsc.dataSourceForKeyArray({"Layer Opacities", "Layer 1"}));
  EXPECT_TRUE(world.dsc.dataSourceForKeyArray({"Layer Opacities", "Layer 2"}));
  auto opacity = world.dsc.dataSourceForKeyArray({"Layer Opacities", "Layer 2"});
  b->alphaSlider()->setValueWithRangedValue(0.25f, true);
  world.dsc.threadProc();
  world.dsc.threadProc();
  EXPECT_FLOAT_EQ(opacity->value(), 0.25f);

  ASSERT_TRUE(b->setLayerName("Renamed"));
  EXPECT_FALSE(world.dsc.dataSourceForKeyArray({"Layer Opacities", "Layer 2"}));
  EXPECT_EQ(world.dsc.dataSourceForKeyArray({"Layer Opacities", "Renamed"}), opacity);
  world.compositor->deleteThisLayer(b.get());
  EXPECT_FALSE(world.dsc.dataSourceForKeyArray({"Layer Opacities", "Renamed"}));
  EXPECT_EQ(world.dsc.dataSourceForKeyArray({Layer::kOpacitiesHolder}), holder);
}

// Processed or not, by the tap, the container and the opacity.
TEST(LayerProcessing, NeedsToBeProcessedTable) {
  struct Case {
    const char* name;
    bool tapped;
    bool inGroup;
    float groupOpacity;
    float opacity;
    bool processed;
  };
  const Case cases[] = {
      {"top level, opaque", false, false, 1, 1, true},
      {"top level, opacity 0", false, false, 1, 0, false},
      {"top level, opacity NaN", false, false, 1, NAN, true},
      {"tapped at opacity 0", true, false, 1, 0, true},
      {"in a shown group", false, true, 1, 1, true},
      {"in a hidden group", false, true, 0, 1, false},
      {"tapped in a hidden group", true, true, 0, 1, true},
  };
  for (const Case& c : cases) {
    LayerWorld w;
    auto layer = w.compositor->createNewLayer();
    std::shared_ptr<Layer> group;
    if (c.inGroup) {
      group = w.compositor->groupLayers({layer.get()});
      group->alphaSlider()->setValueWithRangedValue(c.groupOpacity, true);
    }
    layer->alphaSlider()->setValue(c.opacity, true);
    std::shared_ptr<QKRTap> receiver;
    if (c.tapped) {
      receiver = QKRTap::create();
      receiver->useTapNamed(layer->layerName());
    }
    (group ? group : layer)->lockForRender();
    EXPECT_EQ(layer->needsToBeProcessed(), c.processed) << c.name;
    (group ? group : layer)->unlockRender();
  }
}

TEST_F(LayerModelTest, OrderedIndicesNumberAGroupBeforeItsMembers) {
  auto a = world.compositor->createNewLayer();
  auto b = world.compositor->createNewLayer();
  auto group = world.compositor->groupLayers({a.get(), b.get()});
  EXPECT_EQ(group->setOrderedLayerIndex(5, 2), 8);
  EXPECT_EQ(group->orderedLayerIndex(), 5);
  EXPECT_EQ(group->depth(), 2);
  EXPECT_EQ(b->orderedLayerIndex(), 6);  // b stood on top
  EXPECT_EQ(a->orderedLayerIndex(), 7);
  EXPECT_EQ(a->depth(), 3);
  EXPECT_EQ(b->depth(), 3);
}

TEST_F(LayerModelTest, TheCanvasTransformScalesFromLayerPixelsAndMoves) {
  auto layer = world.compositor->createNewLayer();
  layer->setCanvasActiveRect(QRectF(100, 50, 640, 480));
  const QTransform t = layer->canvasPositionTransform();
  EXPECT_DOUBLE_EQ(t.m11(), 2.0);
  EXPECT_DOUBLE_EQ(t.m22(), 2.0);
  EXPECT_DOUBLE_EQ(t.dx(), 100.0);
  EXPECT_DOUBLE_EQ(t.dy(), 50.0);
}

TEST_F(LayerModelTest, TheCompNameFollowsTheModeThatApplies) {
  const QString additionName =
      image::FilterRegistry::shared().localizedNameForFilterName("CIAdditionCompositing");
  auto layer = world.compositor->createNewLayer();
  NotificationCounter changes(Layer::kCompModeChangeNotification);
  layer->setDFactor(Layer::kOverFactor);
  EXPECT_EQ(layer->compName(), QString("OpenGL Over"));
  EXPECT_EQ(changes.count(), 1);
  layer->setDFactor(Layer::kOverFactor);  // unchanged: nothing
  EXPECT_EQ(changes.count(), 1);
  layer->setDFactor(0x0301);  // no name of its own
  EXPECT_EQ(layer->compName(), QString("OpenGL Over"));
  layer->setGroupRenderingMode(0);
  EXPECT_EQ(layer->compName(), additionName);
  layer->setDFactor(Layer::kAddFactor);  // under a filter container: stored only
  EXPECT_EQ(layer->compName(), additionName);
  EXPECT_EQ(layer->dFactor(), Layer::kAddFactor);
  layer->useQCCompModeNamed("No Such Composition");
  EXPECT_EQ(layer->compName(), additionName);
  layer->setGroupRenderingMode(1);
  EXPECT_EQ(layer->compName(), QString("OpenGL Add"));
  changes.clear();
  layer->setCompName(std::nullopt);
  EXPECT_FALSE(layer->compName());
  EXPECT_EQ(changes.count(), 0);

  LogCapture log;
  EXPECT_FALSE(layer->setContentsRenderingMode(2));
  EXPECT_FALSE(layer->setCompRenderingMode(-1));
  EXPECT_EQ(layer->contentsRenderingMode(), 1);
  EXPECT_EQ(layer->compRenderingMode(), 0);
}

TEST_F(LayerModelTest, AGroupsContentsModeRenamesItsMembersOneLevelDown) {
  auto a = world.compositor->createNewLayer();
  auto b = world.compositor->createNewLayer();
  auto inner = world.compositor->groupLayers({b.get()});
  auto group = world.compositor->groupLayers({a.get(), inner.get()});
  group->setContentsRenderingMode(0);
  EXPECT_EQ(a->groupRenderingMode(), 0);
  EXPECT_EQ(inner->groupRenderingMode(), 0);
  EXPECT_EQ(b->groupRenderingMode(), 1);  // not descended into
}

// An unknown filter name keeps the filter the layer has, logs once and
// keeps the requested name for a save.
TEST_F(LayerModelTest, AnUnknownCompFilterKeepsThePreviousFilter) {
  auto layer = world.compositor->createNewLayer();
  layer->setGroupRenderingMode(0);
  image::Filter* before = layer->ciCompFilter();
  ASSERT_NE(before, nullptr);
  LogCapture log;
  layer->useCompModeNamed("CINoSuchCompositing");
  layer->useCompModeNamed("CINoSuchCompositing");
  EXPECT_EQ(layer->ciCompFilter(), before);
  EXPECT_EQ(layer->compFilterName(), "CINoSuchCompositing");
  EXPECT_EQ(log.lines().filter("CINoSuchCompositing").size(), 1);
  layer->useCompModeNamed("CISourceOverCompositing");
  EXPECT_EQ(layer->ciCompFilter()->name(), "CISourceOverCompositing");
  EXPECT_EQ(layer->compName(),
            image::FilterRegistry::shared().localizedNameForFilterName("CISourceOverCompositing"));
}

TEST_F(LayerModelTest, ALayerSizeIsClampedBeforeBuffersAreMade) {
  auto layer = world.compositor->createNewLayer();
  const std::pair<QSizeF, QSizeF> cases[] = {
      {QSizeF(0, 0), QSizeF(1, 1)},
      {QSizeF(-5, 20), QSizeF(1, 20)},
      {QSizeF(NAN, INFINITY), QSizeF(1, 1)},
      {QSizeF(1e9, 10), QSizeF(gl::TexturePool::shared().maxTextureSize(), 10)},
  };
  for (const auto& [given, kept] : cases) {
    layer->setLayerSize(given);
    EXPECT_EQ(layer->layerSize(), kept);
  }
}

}  // namespace

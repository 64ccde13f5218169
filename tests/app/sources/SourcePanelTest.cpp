#include "SourceFixture.h"

#include "app/compositor/LayerPanel.h"
#include "app/sources/LayerWinRTapMenuController.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "tests/support/GLTest.h"
#include "tests/support/Screenshot.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class SourcePanelTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    QKFilterAlpha::registerFilter();
    world_ = std::make_unique<SourceWorld>();
    world_->compositor->setLayerWindowFactory(
        [](Compositor& owner) { return std::make_unique<LayerPanel>(&owner); });
  }
  void TearDown() override {
    world_.reset();
    GLTest::TearDown();
  }
  // The source-type item of a layer's source name ("nil": "<none>").
  void choose(QKNSPopUpButton* popUp, const QString& name) {
    const QString title = name == Layer::kNil ? QStringLiteral("<none>") : name;
    QAction* item = nullptr;
    for (QAction* action : popUp->menu()->actions())
      if (action->text() == title) item = action;
    ASSERT_TRUE(item);
    popUp->selectItem(item);
    Q_EMIT popUp->activated(item);
  }
  std::unique_ptr<SourceWorld> world_;
};

TEST_F(SourcePanelTest, ThePopUpsSwitchSourcesAndTapsAndTheSourcePanelShows) {
  auto producer = world_->layer();
  auto layer = world_->layer();
  auto* panel = dynamic_cast<LayerPanel*>(layer->parentWindow());
  ASSERT_TRUE(panel);
  panel->showLayer(layer.get());
  // A composition: its panel shows under the pop-ups.
  const QString folder = TestEnvironment::makeTempDir();
  layer->unlockedTriggerFile(world_->keep(
      QKQCFile::createWithPath(SourceWorld::writeColourComposition(folder, "Colour.qtz"),
                               "Colour.qtz", world_->compositor.get())));
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_EQ(panel->sourcePopUp()->titleOfSelectedItem(), Layer::kQCPatch);
  ASSERT_TRUE(panel->sourceView());
  EXPECT_EQ(panel->sourceView(), SourceWorld::qc(*layer).view());
  EXPECT_TRUE(panel->sourceView()->isVisible());
  QTest::qWait(100);
  saveScreenshot(panel->window()->screen()->grabWindow(panel->window()->winId()).toImage(),
                 "layer-panel-composition-source");

  // The tap: the pop-up appears and binds the layer to the chosen tap.
  choose(panel->sourcePopUp(), Layer::kVideoTap);
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kVideoTap);
  EXPECT_EQ(SourceWorld::qc(*layer).currentFile(), nullptr);
  EXPECT_EQ(panel->sourceView(), nullptr);
  EXPECT_FALSE(SourceWorld::qc(*layer).view()->isVisible());
  LayerWinRTapMenuController* taps = panel->tapMenuController();
  ASSERT_TRUE(taps && taps->button() && taps->button()->isVisible());
  MainThread::processUntil([] { return false; }, 0.05);
  QAction* item = nullptr;
  for (QAction* action : taps->button()->menu()->actions())
    if (action->data().toString() == producer->layerName()) item = action;
  ASSERT_TRUE(item);
  taps->menuUsed(item);
  EXPECT_EQ(SourceWorld::tap(*layer).boundTapName(), producer->layerName());
  // "<none>" sends nothing and keeps the binding.
  taps->menuUsed(taps->button()->menu()->actions().first());
  EXPECT_EQ(SourceWorld::tap(*layer).boundTapName(), producer->layerName());
  // A name not listed selects "<none>" without sending.
  taps->passivelySelectTapNamed("not a tap");
  EXPECT_EQ(taps->lastSelectedName(), QString());
  EXPECT_EQ(taps->button()->indexOfSelectedItem(), 0);
  EXPECT_EQ(SourceWorld::tap(*layer).boundTapName(), producer->layerName());
  QTest::qWait(100);
  saveScreenshot(panel->window()->screen()->grabWindow(panel->window()->winId()).toImage(),
                 "layer-panel-tap-source");
  choose(panel->sourcePopUp(), Layer::kNil);
  EXPECT_EQ(layer->currentSource(), nullptr);
  EXPECT_FALSE(taps->button()->isVisible());
}

}  // namespace

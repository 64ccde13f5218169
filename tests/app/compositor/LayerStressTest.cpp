#include "LayerFixture.h"

#include "app/compositor/LayerSizeController.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "framework/filters/CustomFilters.h"
#include "tests/support/LogCapture.h"
#include "framework/controls/QKSliderControl.h"
#include "tests/app/compositor/MovingSliders.h"
#include "tests/app/compositor/RunningFrames.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

// The main thread creates, groups, moves, renames and deletes layers while
// frames run on the render thread and a tick thread moves the opacity and
// position sliders. Run under ThreadSanitizer to see races; here it also
// shows that nothing deadlocks and every frame ends.
class LayerStressTest : public LayerGLTest {};

TEST_F(LayerStressTest, EditsFramesAndSlidersRunTogether) {
  Compositor& compositor = *world_->compositor;
  RunningFrames frames(compositor);
  MovingSliders sliders;

  for (int round = 0; round < 12; ++round) {
    std::vector<std::shared_ptr<Layer>> made;
    for (int i = 0; i < 4; ++i) {
      made.push_back(world_->solidLayer(QColor::fromHsv(i * 60, 255, 255)));
      sliders.add(made.back()->alphaSlider()->cellPtr());
      sliders.add(made.back()->layerSizeController()->xPosSlider()->cellPtr());
    }
    compositor.setContentsRenderingMode(round % 2);
    auto group = compositor.groupLayers({made[0].get(), made[1].get()});
    group->setContentsRenderingMode((round / 2) % 2);
    compositor.moveTheseLayers({made[2].get()}, 0, group.get());
    made[3]->setLayerName(QStringLiteral("Renamed %1").arg(round));
    made[2]->setLayerSize(QSizeF(160 + round, 120));
    QCoreApplication::processEvents();
    compositor.deleteThisLayer(group.get());
    compositor.deleteAllLayers();
    QCoreApplication::processEvents();
  }
  sliders.stop();
  frames.stop();
  EXPECT_GT(frames.count(), 0);
  EXPECT_TRUE(compositor.topLevelLayers().empty());
}

}  // namespace

// Whole-set restores and "Layer FX" recalls on the main thread while frames
// run on the render thread, each frame trying the restore gate first as the
// output view does. Run under ThreadSanitizer to see races; here it shows
// that nothing deadlocks, frames go on between restores, and the set ends
// as the last snapshot says.
TEST_F(LayerStressTest, RestoresAndLayerFXRecallsRunBesideFrames) {
  Compositor& compositor = *world_->compositor;
  {
    LogCapture quiet;
    CustomFilters::initialize();
  }
  auto manager = std::make_shared<LayerChainManager>();
  compositor.setChainManager(manager);
  compositor.setLayerChainFactory(LayerFXChainAdapter::factory(manager));
  RunningFrames frames(compositor, RunningFrames::Gate::Pass);

  std::vector<std::shared_ptr<Layer>> made;
  for (int i = 0; i < 4; ++i) {
    made.push_back(world_->solidLayer(QColor::fromHsv(i * 60, 255, 255)));
    made.back()->addCIFXNamed(i % 2 ? QStringLiteral("Bright") : QStringLiteral("Contrast"));
  }
  compositor.groupLayers({made[0].get(), made[1].get()});
  const QVariantMap first = compositor.createSnapshot();
  const QVariantMap firstFX = compositor.createLayerFXSnapshot();
  made[2]->setLayerName(QStringLiteral("Renamed"));
  made[3]->addCIFXNamed(QStringLiteral("Bright"));
  compositor.deleteThisLayer(made[1].get());
  const QVariantMap second = compositor.createSnapshot();
  made.clear();

  LogCapture quiet;
  for (int round = 0; round < 12; ++round) {
    compositor.loadSnapshot(round % 2 ? second : first);
    QCoreApplication::processEvents();
    compositor.matchThisLayerFXSnapshot(firstFX);
    QCoreApplication::processEvents();
  }
  compositor.loadSnapshot(second);
  QCoreApplication::processEvents();
  frames.stop();
  EXPECT_GT(frames.count(), 0);
  EXPECT_NE(compositor.findLayerByName(QStringLiteral("Renamed")), nullptr);
  EXPECT_EQ(compositor.topLevelLayers().size(), 3u);  // the group and two layers
  compositor.deleteAllLayers();
}

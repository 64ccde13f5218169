#include "LayerFixture.h"

#include "app/compositor/LayerSizeController.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "framework/filters/CustomFilters.h"
#include "tests/support/LogCapture.h"
#include "framework/controls/QKSliderControl.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/ImageContext.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

// The main thread creates, groups, moves, renames and deletes layers while
// frames run on the render thread and a tick thread moves the opacity and
// position sliders. Run under ThreadSanitizer to see races; here it also
// shows that nothing deadlocks and every frame ends.
class LayerStressTest : public LayerGLTest {};

TEST_F(LayerStressTest, EditsFramesAndSlidersRunTogether) {
  Compositor& compositor = *world_->compositor;
  std::atomic<bool> done{false};
  std::atomic<int> frames{0};
  const int handler = gl::RenderThread::instance().addFrameHandler([&](const auto&) {
    Compositor::FrameState state;
    auto locks = compositor.tryLockForFrame(&state);
    if (!locks) return;
    compositor.render(gl::DisplayLink::Frame{});
    gl::RenderTarget target;
    const gl::TextureHandle texture = gl::TexturePool::shared().acquire(QSize(64, 48));
    target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(640, 480)));
    if (!target.bind(texture)) return;
    image::ImageContext context;
    compositor.drawContent(state, target, context);
    target.detach();
    ++frames;
  });
  std::thread renderer([&] {
    while (!done.load()) gl::RenderThread::instance().runFrameNow();
  });

  std::mutex cellsMutex;
  std::vector<QKSliderCell::Ptr> cells;
  std::thread tick([&] {
    float v = 0;
    while (!done.load()) {
      std::vector<QKSliderCell::Ptr> copy;
      {
        std::lock_guard<std::mutex> lock(cellsMutex);
        copy = cells;
      }
      v = v > 1 ? 0 : v + 0.05f;
      for (const auto& cell : copy) cell->setValue(v, true);
      std::this_thread::yield();
    }
  });

  for (int round = 0; round < 12; ++round) {
    std::vector<std::shared_ptr<Layer>> made;
    for (int i = 0; i < 4; ++i) {
      made.push_back(world_->solidLayer(QColor::fromHsv(i * 60, 255, 255)));
      std::lock_guard<std::mutex> lock(cellsMutex);
      cells.push_back(made.back()->alphaSlider()->cellPtr());
      cells.push_back(made.back()->layerSizeController()->xPosSlider()->cellPtr());
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
  done.store(true);
  tick.join();
  renderer.join();
  gl::RenderThread::instance().removeFrameHandler(handler);
  EXPECT_GT(frames.load(), 0);
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
  std::atomic<bool> done{false};
  std::atomic<int> frames{0};
  const int handler = gl::RenderThread::instance().addFrameHandler([&](const auto&) {
    RestoreGate& gate = compositor.restoreGate();
    if (!gate.tryBeginFrame()) return;
    Compositor::FrameState state;
    if (auto locks = compositor.tryLockForFrame(&state)) {
      compositor.render(gl::DisplayLink::Frame{});
      gl::RenderTarget target;
      const gl::TextureHandle texture = gl::TexturePool::shared().acquire(QSize(64, 48));
      target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(640, 480)));
      if (target.bind(texture)) {
        image::ImageContext context;
        compositor.drawContent(state, target, context);
        target.detach();
        ++frames;
      }
    }
    gate.endFrame();
  });
  std::thread renderer([&] {
    while (!done.load()) gl::RenderThread::instance().runFrameNow();
  });

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
  done.store(true);
  renderer.join();
  gl::RenderThread::instance().removeFrameHandler(handler);
  EXPECT_GT(frames.load(), 0);
  EXPECT_NE(compositor.findLayerByName(QStringLiteral("Renamed")), nullptr);
  EXPECT_EQ(compositor.topLevelLayers().size(), 3u);  // the group and two layers
  compositor.deleteAllLayers();
}

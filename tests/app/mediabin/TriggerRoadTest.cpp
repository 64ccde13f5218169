#include "app/mediabin/MBCompositorQueueHost.h"
#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBLayerController.h"
#include "platform/foundation/MainThread.h"
#include "tests/app/compositor/LayerFixture.h"
#include "tests/app/mediabin/FakeMediaBin.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

// A source of any kind that plays a file as every source does: it becomes
// the file's current source.
class PlayingSource : public SolidSource {
 public:
  using SolidSource::SolidSource;
  void loadThisFile(const std::shared_ptr<QKFile>& file) override {
    file_ = file;
    if (file) file->setCurrentSource(shared_from_this());
    ++loads;
  }
  std::shared_ptr<QKFile> currentFile() const override { return file_; }
  void eject() override {
    if (file_) file_->setCurrentSource(nullptr);
    file_.reset();
  }
  int loads = 0;

 private:
  std::shared_ptr<QKFile> file_;
};

class MovieFile : public QKFile {
 public:
  explicit MovieFile(CompositorInterface* ids) : QKFile(QStringLiteral("clip"), ids) {
    qkFileType_ = kMovieKind;
    initNonQTFile();
  }
};

// A click on a grid cell reaches a real layer of the compositor: the queue
// picks the bottom layer (on deck at start), and the layer loads the file
// on the main thread, so that its source plays it from the next frame.
TEST(TriggerRoad, AClickOnACellLoadsItsFileOnTheChosenLayer) {
  LayerWorld world;
  for (const QString& key : Compositor::sourceClassNames())
    world.compositor->registerSourceFactory(key, [](const QString& name, Layer& layer) {
      return std::make_shared<PlayingSource>(name, &layer);
    });
  auto top = world.compositor->createNewLayer();
  auto bottom = world.compositor->createNewLayer();
  MainThread::processUntil([] { return false; }, 0.05);

  FakeMediaBin bin;
  auto page = bin.pageController()->pages().front();
  auto file = std::make_shared<MovieFile>(bin.compositor());
  bin.pageController()->addObjects({file}, page, 0);

  MBCompositorQueueHost host(world.compositor.get(), bin.pageController());
  MBLayerController queue(&host, bin.uniqueID());
  queue.awakeFromNib();
  ASSERT_EQ(queue.items().size(), 2u);
  const QString chosen = queue.currentLayer();
  ASSERT_FALSE(chosen.isEmpty());
  Layer* layer = world.compositor->findLayerByName(chosen);
  ASSERT_NE(layer, nullptr);

  MBFileGridView grid(&bin, &queue);
  grid.setNumberOfColumns(4);
  grid.resize(403, 300);
  grid.show();
  const auto blocks = MBGridGeometry::layout(grid.pages(), grid.width(), grid.height(), 4, 0);
  const QPoint cell = MBGridGeometry::toWidget(
                          MBGridGeometry::cellRect(blocks[0], 0, grid.width(), 4), grid.height())
                          .center()
                          .toPoint();
  QTest::mouseClick(&grid, Qt::LeftButton, {}, cell);
  MainThread::processUntil(
      [&] { return layer->currentSource() && layer->currentSource()->currentFile() == file; }, 3.0);
  ASSERT_NE(layer->currentSource(), nullptr);
  EXPECT_EQ(layer->currentSource()->currentFile(), file);
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kMovie);
  EXPECT_EQ(static_cast<PlayingSource*>(layer->currentSource())->loads, 1);
  // The file now plays there: the queue's playing-file rule sees it.
  MainThread::processUntil([] { return false; }, 0.05);
  QString playing;
  EXPECT_TRUE(host.fileIsPlaying(*file, &playing));
  EXPECT_EQ(playing, chosen);
  EXPECT_TRUE(host.layerShowsFile(chosen));
  queue.prepareToBeDeleted();
  grid.prepareToBeDeleted();
  (void)top;
  (void)bottom;
}

}  // namespace

#include "LayerFixture.h"

#include "framework/datasource/DSFloatFrequent.h"
#include "framework/media/QKFile.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKSTap.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <thread>

namespace {

// Records the files it is handed.
class FileSource : public SolidSource {
 public:
  using SolidSource::SolidSource;
  void loadThisFile(const std::shared_ptr<QKFile>& file) override { file_ = file; }
  std::shared_ptr<QKFile> currentFile() const override { return file_; }
  void eject() override { file_.reset(); }

 private:
  std::shared_ptr<QKFile> file_;
};

class LayerTreeTest : public ::testing::Test {
 protected:
  LayerWorld world;
};

TEST_F(LayerTreeTest, ADeletedGroupHandsItsMembersUpInItsPlace) {
  for (int i = 0; i < 5; ++i) world.compositor->createNewLayer();
  // Top level: Layer 5, Layer 4, Layer 3, Layer 2, Layer 1.
  Layer* a = world.top(2);
  Layer* b = world.top(3);
  Layer* c = world.top(4);
  auto group = world.compositor->groupLayers({a, b, c});
  world.compositor->moveTheseLayers({group.get()}, 2, nullptr);
  ASSERT_EQ(world.topNames(), QStringList({"Layer 5", "Layer 4", "Group 1"}));
  world.compositor->setContentsRenderingMode(0);
  group->setContentsRenderingMode(1);
  world.compositor->deleteThisLayer(group.get());
  EXPECT_EQ(world.topNames(), QStringList({"Layer 5", "Layer 4", "Layer 3", "Layer 2", "Layer 1"}));
  for (Layer* member : {a, b, c}) {
    EXPECT_TRUE(member->isTopLevel());
    EXPECT_EQ(member->groupRenderingMode(), 0);
    EXPECT_FALSE(member->deleted());
  }
  EXPECT_TRUE(group->deleted());
  EXPECT_FALSE(world.compositor->containsLayer(group.get()));
}

TEST_F(LayerTreeTest, SearchesFindMembersAtAnyDepth) {
  auto a = world.compositor->createNewLayer();
  auto b = world.compositor->createNewLayer();
  auto inner = world.compositor->groupLayers({a.get()});
  auto outer = world.compositor->groupLayers({inner.get(), b.get()});
  EXPECT_EQ(world.compositor->findLayerByName("Layer 1"), a.get());
  EXPECT_EQ(world.compositor->findLayerByName("layer 1"), nullptr);
  EXPECT_EQ(world.compositor->findLayerByUniqueID(a->uniqueID()), a.get());
  EXPECT_TRUE(outer->checkForName("Layer 1"));
  EXPECT_FALSE(outer->checkForName(outer->layerName()));
  EXPECT_TRUE(outer->containsLayer(a.get()));
  EXPECT_TRUE(outer->isThisMyChild(inner.get()));
  EXPECT_FALSE(outer->isThisMyChild(a.get()));
  EXPECT_TRUE(outer->containsThisLayer(outer.get()));
  EXPECT_FALSE(world.compositor->containsLayer(nullptr));
  EXPECT_EQ(a->depth(), 2);
  EXPECT_EQ(outer->returnNumberOfSublayersInWindow(), 4);
}

TEST_F(LayerTreeTest, RenamingIsRefusedForAnyUsedNameAndMovesWhatBearsTheName) {
  auto a = world.compositor->createNewLayer();
  auto b = world.compositor->createNewLayer();
  auto c = world.compositor->createNewLayer();
  auto inner = world.compositor->groupLayers({a.get()});
  world.compositor->groupLayers({inner.get()});
  LogCapture log;
  EXPECT_FALSE(c->setLayerName("Layer 1"));  // two levels deep
  EXPECT_FALSE(c->setLayerName("Layer 3"));  // its own
  EXPECT_FALSE(c->setLayerName(""));
  EXPECT_EQ(c->layerName(), "Layer 3");

  auto receiver = QKRTap::create();
  receiver->useTapNamed("Layer 3");
  c->useSourceNamed(Layer::kMovie);
  ASSERT_TRUE(world.dsc.dataSourceForKeyArray({"ZAPH", "Layer 3 moviePos"}));
  NotificationCounter renames(Layer::kNameChangeNotification);
  ASSERT_TRUE(c->setLayerName("layer 1"));  // differs only in case
  EXPECT_EQ(c->layerName(), "layer 1");
  EXPECT_TRUE(world.dsc.dataSourceForKeyArray({"Layer Opacities", "layer 1"}));
  EXPECT_TRUE(world.dsc.dataSourceForKeyArray({"ZAPH", "layer 1 moviePos"}));
  EXPECT_FALSE(world.dsc.dataSourceForKeyArray({"ZAPH", "Layer 3 moviePos"}));
  EXPECT_EQ(c->sTap()->tapName(), "layer 1");
  EXPECT_EQ(receiver->lastSelectedTapName(), "layer 1");
  ASSERT_EQ(renames.count(), 1);
  EXPECT_EQ(renames.notes()[0].userInfo.value("newName").toString(), "layer 1");
  EXPECT_EQ(renames.notes()[0].userInfo.value("oldName").toString(), "Layer 3");

  // A layer showing something else keeps no movie position source.
  b->useSourceNamed(Layer::kQCPatch);
  ASSERT_TRUE(b->setLayerName("B"));
  EXPECT_FALSE(world.dsc.dataSourceForKeyArray({"ZAPH", "B moviePos"}));
}

TEST(LayerSources, AMovieLayerMadeAGroupAndBackCanPlayAgain) {
  LayerWorld world;
  int made = 0;
  world.compositor->registerSourceFactory(VidSourceObject::kMovieSource,
                                          [&made](const QString& name, Layer& layer) {
                                            ++made;
                                            return std::make_shared<FileSource>(name, &layer);
                                          });
  auto layer = world.compositor->createNewLayer();
  VidSourceObject* movie = layer->sourceOfKind(VidSourceObject::kMovieSource);
  layer->useSourceNamed(Layer::kMovie);
  auto file = std::make_shared<QKFile>("clip", world.compositor.get());
  movie->loadThisFile(file);
  layer->setGroupFlag(true);
  EXPECT_EQ(layer->currentSource(), nullptr);
  EXPECT_EQ(movie->currentFile(), nullptr);  // ejected
  EXPECT_EQ(layer->layerSize(), QSizeF(640, 480));
  layer->setGroupFlag(false);
  ASSERT_EQ(layer->sourceOfKind(VidSourceObject::kMovieSource), movie);  // kept
  layer->useSourceNamed(Layer::kMovie);
  movie->loadThisFile(file);
  EXPECT_EQ(layer->currentSource(), movie);
  EXPECT_EQ(layer->currentSourceAsString(), "Movie");
  EXPECT_EQ(made, 1);
}

// The deleted-media notification may come from any thread: the layer lets
// go of the file on the main thread.
TEST(LayerSources, ADeletedFileLeavesTheLayerOnTheMainThread) {
  LayerWorld world;
  world.compositor->registerSourceFactory(
      VidSourceObject::kMovieSource,
      [](const QString& name, Layer& layer) { return std::make_shared<FileSource>(name, &layer); });
  auto showing = world.compositor->createNewLayer();
  auto other = world.compositor->createNewLayer();
  auto file = std::make_shared<QKFile>("clip", world.compositor.get());
  auto otherFile = std::make_shared<QKFile>("other", world.compositor.get());
  for (auto [layer, f] : {std::pair{showing.get(), file}, std::pair{other.get(), otherFile}}) {
    layer->useSourceNamed(Layer::kMovie);
    layer->currentSource()->loadThisFile(f);
  }
  std::thread poster([&] {
    NotificationCenter::defaultCenter().post("QKMBFileFolderDeletedNotification", file.get());
  });
  poster.join();
  EXPECT_EQ(showing->currentSourceAsString(), "Movie");  // not yet: queued for the main thread
  ASSERT_TRUE(MainThread::processUntil([&] { return showing->currentSource() == nullptr; }, 5));
  EXPECT_EQ(other->currentSourceAsString(), "Movie");
}

TEST_F(LayerTreeTest, WindowsAttachAGroupWithTheMembersThatHaveNone) {
  FakeLayerWindow first(*world.compositor), second(*world.compositor);
  auto a = world.compositor->createNewLayer();
  auto b = world.compositor->createNewLayer();
  auto group = world.compositor->groupLayers({a.get(), b.get()});
  for (Layer* layer : {a.get(), b.get(), group.get()}) layer->removeFromParentWindow();
  b->addToThisWindow(&second);
  group->addToThisWindow(&first);
  EXPECT_EQ(a->parentWindow(), &first);
  EXPECT_EQ(b->parentWindow(), &second);
  EXPECT_EQ(group->returnNumberOfSublayersInWindow(), 2);
  group->removeFromParentWindow();
  EXPECT_TRUE(first.layerArray().empty());
  EXPECT_EQ(b->parentWindow(), &second);
  // The windows go before the compositor that still holds the layers.
  for (Layer* layer : {a.get(), b.get(), group.get()}) layer->removeFromParentWindow();
}

}  // namespace

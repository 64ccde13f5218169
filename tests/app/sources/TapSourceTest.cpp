#include "SourceFixture.h"

#include "framework/taps/QKRTap.h"
#include "framework/taps/QKSTap.h"

#include <gtest/gtest.h>

namespace {

class TapSourceTest : public ::testing::Test {
 protected:
  // A layer showing its tap source.
  std::shared_ptr<Layer> tapLayer() {
    auto layer = world_.layer();
    layer->useSourceNamed(Layer::kVideoTap);
    return layer;
  }
  SourceWorld world_;
};

TEST_F(TapSourceTest, RefusesInbredTapsDirectAndDownAChain) {
  auto a = tapLayer(), b = tapLayer(), c = tapLayer();
  TapSource& tapA = SourceWorld::tap(*a);
  // The own tap.
  EXPECT_FALSE(tapA.useTapNamed(a->layerName()));
  // B shows A: A may not show B.
  ASSERT_TRUE(SourceWorld::tap(*b).useTapNamed(a->layerName()));
  EXPECT_FALSE(tapA.useTapNamed(b->layerName()));
  // C shows B shows A: A may not show C either.
  ASSERT_TRUE(SourceWorld::tap(*c).useTapNamed(b->layerName()));
  EXPECT_FALSE(tapA.useTapNamed(c->layerName()));
  EXPECT_EQ(tapA.boundTapName(), QKTapManager::kEmptyDeselectedString);
  // A layer showing nothing of A's is fine.
  auto d = tapLayer();
  EXPECT_TRUE(tapA.useTapNamed(d->layerName()));
  EXPECT_EQ(tapA.currentPath(), d->layerName());
}

TEST_F(TapSourceTest, AnUnknownTapIsRefusedAndKeepsTheBinding) {
  auto a = tapLayer(), b = tapLayer();
  TapSource& tap = SourceWorld::tap(*a);
  ASSERT_TRUE(tap.useTapNamed(b->layerName()));
  EXPECT_FALSE(tap.useTapNamed("no such tap"));
  EXPECT_EQ(tap.boundTapName(), b->layerName());
}

TEST_F(TapSourceTest, LiveInputNamesMarkTheVideoInput) {
  auto a = tapLayer();
  TapSource& tap = SourceWorld::tap(*a);
  const struct {
    const char* name;
    bool videoInput;
  } cases[] = {{"VidIn 1", true},
               {"VidInXY", true},
               {"VidIn", false},
               {"VidIn1", false},
               {"vidIn 12", false}};
  std::vector<std::shared_ptr<QKSTap>> inputs;
  for (const auto& c : cases) {
    auto input = std::make_shared<QKSTap>(nullptr, QString(c.name));
    QKTapManager::announce(input.get());
    inputs.push_back(input);
    ASSERT_TRUE(tap.useTapNamed(c.name)) << c.name;
    EXPECT_EQ(tap.isVideoInput(), c.videoInput) << c.name;
  }
  // A refusal clears the flag but keeps the binding.
  ASSERT_TRUE(tap.useTapNamed("VidIn 1"));
  EXPECT_FALSE(tap.useTapNamed(a->layerName()));
  EXPECT_FALSE(tap.isVideoInput());
  EXPECT_EQ(tap.boundTapName(), "VidIn 1");
  for (auto& input : inputs) input->prepareToBeDeleted();
}

TEST_F(TapSourceTest, StopAndStartComeBackToTheTapAfterATapFileToo) {
  auto a = tapLayer(), b = tapLayer();
  TapSource& tap = SourceWorld::tap(*a);
  // Chosen in the pop-up.
  ASSERT_TRUE(tap.useTapNamed(b->layerName()));
  a->useSourceNamed(Layer::kNil);
  EXPECT_EQ(tap.boundTapName(), TapSource::kStoppedName);
  a->useSourceNamed(Layer::kVideoTap);
  EXPECT_EQ(tap.boundTapName(), b->layerName());
  // From a tap file: the eject's own stop does not overwrite the name.
  auto file = world_.keep(QKTapFile::createWithTapName(b->layerName(), world_.compositor.get()));
  tap.loadThisFile(file);
  ASSERT_EQ(tap.currentFile(), file);
  a->useSourceNamed(Layer::kNil);
  EXPECT_EQ(tap.currentFile(), nullptr);
  EXPECT_TRUE(tap.blackFrame());
  a->useSourceNamed(Layer::kVideoTap);
  EXPECT_EQ(tap.boundTapName(), b->layerName());
}

TEST_F(TapSourceTest, ASnapshotFileWinsOverTheNameAndAMissingFileFallsBackToIt) {
  auto a = tapLayer(), b = tapLayer(), c = tapLayer();
  TapSource& tap = SourceWorld::tap(*a);
  auto file = world_.keep(QKTapFile::createWithTapName(c->layerName(), world_.compositor.get()));
  tap.loadThisFile(file);
  QVariantMap snapshot = tap.createSnapshot();
  EXPECT_EQ(snapshot.value("sourceType"), "tapSource");
  EXPECT_EQ(snapshot.value("sourceFileID").toLongLong(), file->uniqueFileId());
  snapshot.insert("lastSelectedTapName", b->layerName());
  tap.eject();
  tap.loadSnapshot(snapshot);
  EXPECT_EQ(tap.boundTapName(), c->layerName());
  EXPECT_EQ(tap.currentFile(), file);
  world_.files.clear();
  tap.eject();
  tap.loadSnapshot(snapshot);
  EXPECT_EQ(tap.boundTapName(), b->layerName());
  EXPECT_EQ(tap.currentFile(), nullptr);
}

TEST_F(TapSourceTest, BindingTakesTheSourceSizeAndTheOwnTapIsASpace) {
  auto a = tapLayer(), b = tapLayer();
  b->setLayerSize(QSizeF(800, 600));
  TapSource& tap = SourceWorld::tap(*a);
  ASSERT_TRUE(tap.useTapNamed(b->layerName()));
  EXPECT_EQ(a->layerSize(), QSizeF(800, 600));
  EXPECT_FALSE(a->useTapNamed(a->layerName()));
  // A renamed tap keeps its receiver.
  ASSERT_TRUE(b->setLayerName("Renamed"));
  EXPECT_EQ(tap.boundTapName(), "Renamed");
}

}  // namespace

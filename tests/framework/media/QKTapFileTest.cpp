// Tap entries: the video-input name rule, renaming and the restore.
#include "framework/media/QKTapFile.h"
#include "tests/framework/media/MediaTestSupport.h"

#include <gtest/gtest.h>

TEST(QKTapFile, VideoInputNamesAreLongerThanSixAndStartWithVidIn) {
  const struct {
    const char* name;
    bool videoInput;
  } cases[] = {
      {"VidIn 1", true},  {"VidIn12", true},  {"VidIn1", false},  {"VidIn", false},
      {"vidin 1", false}, {"VIDIN 1", false}, {"Layer 1", false}, {"", false},
  };
  FakeCompositor compositor;
  for (const auto& c : cases) {
    EXPECT_EQ(QKTapFile::isVideoInputName(c.name), c.videoInput) << c.name;
    auto tap = QKTapFile::createWithTapName(c.name, &compositor);
    EXPECT_EQ(tap->isVideoInput(), c.videoInput) << c.name;
    EXPECT_TRUE(tap->validFile());
    EXPECT_EQ(tap->fullPath(), QString(c.name));
  }
}

TEST(QKTapFile, RenamingRecomputesTheFlagAndARestoreTakesTheStoredOne) {
  FakeCompositor compositor;
  auto tap = QKTapFile::createWithTapName("Layer 1", &compositor);
  std::shared_ptr<QKFile> asFile = tap;
  asFile->setName("VidIn 2");
  EXPECT_TRUE(tap->isVideoInput());

  const QVariantMap snapshot = tap->createSnapshot();
  EXPECT_EQ(snapshot.value("isVideoInput"), QVariant(true));
  const struct {
    const char* name;
    QVariantMap snapshot;
    bool videoInput;
  } cases[] = {
      {"stored YES under a layer's name", {{"name", "Layer 3"}, {"isVideoInput", true}}, true},
      {"stored NO under an input's name", {{"name", "VidIn 3"}, {"isVideoInput", false}}, false},
      {"no flag", {{"name", "VidIn 3"}}, false},
      {"a mistyped flag", {{"name", "VidIn 3"}, {"isVideoInput", "yes"}}, false},
  };
  for (const auto& c : cases) {
    auto restored = QKTapFile::createWithCompositor(&compositor);
    EXPECT_TRUE(restored->loadFromSnapshot(c.snapshot, &compositor)) << c.name;
    EXPECT_EQ(restored->isVideoInput(), c.videoInput) << c.name;
    EXPECT_TRUE(restored->validFile()) << c.name;
  }
}

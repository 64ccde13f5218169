// The shipped tutorial: written by ZAPH's own writer (set ZAPH_WRITE_TUTORIAL
// to the projects folder to write it again), and opened by a first start's
// "open last set" untitled, with its clips found beside it and its first
// preset bringing its layers back.
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/shell/AppController.h"
#include "app/shell/PMTableDelegate.h"
#include "app/shell/PresetManager.h"
#include "app/shell/PresetRecords.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/ManualDelayedCalls.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using namespace PresetRecords;

#define NEEDS_DISPLAY() \
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL"

// The shipped file keeps only the project-relative path of each clip.
QVariant withProjectPathsOnly(const QVariant& value) {
  if (value.typeId() == QMetaType::QVariantList) {
    QVariantList list;
    for (const QVariant& item : value.toList()) list << withProjectPathsOnly(item);
    return list;
  }
  if (value.typeId() != QMetaType::QVariantMap) return value;
  QVariantMap map = value.toMap();
  for (const char* key :
       {"fullPath", "originalPath", "relPathToApplication", "relPathToUserFolder"})
    map.remove(QString::fromLatin1(key));
  for (auto it = map.begin(); it != map.end(); ++it) it.value() = withProjectPathsOnly(it.value());
  return map;
}

TEST(TutorialProject, WriteTheShippedTutorial) {
  const QString folder = qEnvironmentVariable("ZAPH_WRITE_TUTORIAL");
  if (folder.isEmpty()) GTEST_SKIP() << "set ZAPH_WRITE_TUTORIAL to the projects folder";
  NEEDS_DISPLAY();
  UserDefaults::standard().resetForTesting();
  UserDefaults::standard().setFilePath(TestEnvironment::makeTempDir() + QStringLiteral("/d.plist"));
  AppController controller;
  PresetManager* presets = controller.presetManager();
  Compositor* compositor = controller.compositorObject();
  QKFileLoader* loader = controller.fileLoaderObject();
  const QString media = folder + QStringLiteral("/Tutorial Media");
  QDir().mkpath(media);
  TestClipSpec a;
  a.width = 96;
  a.height = 72;
  a.frames = 60;
  TestClipSpec b = a;
  b.frames = 90;
  b.fpsNum = 15;
  ASSERT_EQ(TestClip::write(media + QStringLiteral("/Counter A.mov"), a), QString());
  ASSERT_EQ(TestClip::write(media + QStringLiteral("/Counter B.mov"), b), QString());
  const QString project = PresetManager::verifiedPath(folder + QStringLiteral("/Tutorial Project"));
  presets->setSavePath(project);
  loader->addTheseFilesToQueue(
      {media + QStringLiteral("/Counter A.mov"), media + QStringLiteral("/Counter B.mov")}, nullptr,
      0, false);
  ASSERT_TRUE(MainThread::processUntil([&] { return !loader->loading(); }, 30));
  const auto& clips = controller.pageController()->pages().front()->contents();
  const std::shared_ptr<Layer> first = compositor->createNewLayer();
  const std::shared_ptr<Layer> second = compositor->createNewLayer();
  first->unlockedTriggerFile(clips[0]);
  second->unlockedTriggerFile(clips[1]);
  presets->takeSnapshot(kEverything);
  compositor->deleteThisLayer(second.get());
  presets->takeSnapshot(kLayers);
  PMTableDelegate* table = presets->tableDelegate();
  table->setData(table->index(0, PMTableDelegate::NameColumn), QStringLiteral("Both counters"),
                 Qt::EditRole);
  table->setData(table->index(1, PMTableDelegate::NameColumn), QStringLiteral("Counter A alone"),
                 Qt::EditRole);
  presets->saveButtonUsed();
  const PropertyList::Result saved = PropertyList::read(project);
  ASSERT_TRUE(saved.ok());
  ASSERT_EQ(PropertyList::write(withProjectPathsOnly(saved.value), project), QString());
  QFile::remove(PresetManager::backupPath(project));
  controller.applicationWillTerminate();
}

// A first start (the program's copy of the resources): "open last set"
// opens the tutorial untitled; its clips are
// found beside it, and its first preset brings both layers back playing.
TEST(TutorialProject, AFirstStartOpensTheShippedTutorialUntitled) {
  NEEDS_DISPLAY();
  const QString dir = TestEnvironment::makeTempDir();
  UserDefaults::standard().resetForTesting();
  UserDefaults::standard().setFilePath(dir + QStringLiteral("/d.plist"));
  UserDefaults::standard().setValue(QStringLiteral("startingPointTriggerPreset"), 1);
  Alert::clearRecorded();
  {
    AppController controller;
    PresetManager* presets = controller.presetManager();
    ManualDelayedCalls clock;
    presets->setDelayedCalls(&clock);
    ASSERT_TRUE(QFileInfo(PresetManager::tutorialProjectPath()).isFile());
    EXPECT_EQ(presets->defaultProjectPath(), PresetManager::tutorialProjectPath());
    controller.startingPointOpenLastSetButtonUsed();
    ASSERT_TRUE(MainThread::processUntil(
        [&] { return !controller.fileLoaderObject()->loading() && !presets->loadingProject(); },
        30));
    EXPECT_TRUE(presets->savePath().isEmpty()) << "Save never writes into the shipped folder";
    EXPECT_EQ(presets->setNameFieldText(), QStringLiteral("Tutorial Project"));
    EXPECT_TRUE(presets->missingFileArray().empty());
    const auto& clips = controller.pageController()->pages().front()->contents();
    ASSERT_EQ(clips.size(), 2u);
    for (const auto& clip : clips) EXPECT_TRUE(clip && clip->validFile());
    ASSERT_EQ(presets->arrangedPresets().size(), 2);
    clock.advance(1.01);
    const auto layers = controller.compositorObject()->topLevelLayers();
    ASSERT_EQ(layers.size(), 2u);
    for (const auto& layer : layers)
      EXPECT_EQ(layer->currentSourceAsString(), Layer::kMovie) << layer->layerName().toStdString();
    EXPECT_TRUE(Alert::recorded().empty());
    controller.applicationWillTerminate();
  }
}

}  // namespace

// The media bin's model in the running program: created at start-up, reached
// by the File menu and by the finder notification, and a project's pages
// restored through the queue saving back to the same snapshot.
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerWindowTabView.h"
#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MediaBin.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/shell/AppController.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKFileLoaderClient.h"
#include "framework/media/QKFolder.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/media/QKQTFile.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace {

struct LoaderAsker : QKFileLoaderClient {
  void setFileLoader(QKFileLoader* found) override { loader = found; }
  QKFileLoader* loader = nullptr;
};

QAction* fileMenuAction(QMenuBar* bar, const QString& name) {
  for (QAction* menu : bar->actions())
    if (menu->text() == QStringLiteral("File") && menu->menu())
      for (QAction* item : menu->menu()->actions())
        if (item->objectName() == name) return item;
  return nullptr;
}

// Runs the load to its end; answers the longest single pass in ms.
double finishTimingPasses(QKFileLoader* loader) {
  double longest = 0;
  QElapsedTimer deadline;
  deadline.start();
  while (loader->loading() && deadline.elapsed() < 30000) {
    QElapsedTimer pass;
    pass.start();
    QCoreApplication::processEvents();
    longest = std::max(longest, pass.nsecsElapsed() / 1e6);
  }
  return longest;
}

// A tap entry's full path is its tap name, written but never read back.
QVariantMap withoutTapPaths(QVariantMap project) {
  QVariantList pages = project.value("pages").toList();
  for (QVariant& page : pages) {
    QVariantMap map = page.toMap();
    QVariantList cells = map.value("contents").toList();
    for (QVariant& cell : cells) {
      QVariantMap file = cell.toMap();
      if (file.value("qkFileType").toInt() != 2) continue;
      for (const char* key :
           {"fullPath", "relPathToProject", "relPathToApplication", "relPathToUserFolder"})
        file.remove(key);
      cell = file;
    }
    map.insert("contents", cells);
    page = map;
  }
  project.insert("pages", pages);
  return project;
}

TEST(AppControllerMediaBin, StartUpMakesTheModelAndTheFileMenuReachesIt) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  AppController controller;
  ASSERT_NE(controller.rootFolder(), nullptr);
  ASSERT_NE(controller.fileLoaderObject(), nullptr);
  ASSERT_NE(controller.pageController(), nullptr);
  EXPECT_EQ(controller.pageController()->pages().size(), 1u);
  EXPECT_LT(controller.rootFolder()->uniqueFileId(),
            controller.pageController()->pages()[0]->uniqueFileId())
      << "the root folder is made before the pages";

  LoaderAsker asker;
  NotificationCenter::defaultCenter().post(MediaNotifications::kFindFileLoader,
                                           static_cast<QKFileLoaderClient*>(&asker));
  EXPECT_EQ(asker.loader, controller.fileLoaderObject());

  QAction* import = fileMenuAction(controller.menuBar(), "fileMenuImportMedia");
  QAction* cancel = fileMenuAction(controller.menuBar(), "cancelFileLoading");
  ASSERT_NE(import, nullptr);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(import->text(), QStringLiteral("Import Media…"));
  EXPECT_EQ(cancel->text(), QStringLiteral("Cancel File Loading"));
  controller.applicationWillTerminate();
}

// A command-click on a layer tab (or a synced preview) makes the layer next
// in the nearest bin whose queue holds it.
TEST(AppControllerMediaBin, ALayerIsMadeNextInTheNearestBinHoldingIt) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  AppController controller;
  Compositor* compositor = controller.compositorObject();
  auto lower = compositor->createNewLayer();
  auto upper = compositor->createNewLayer();
  auto* bin = dynamic_cast<MediaBin*>(controller.pluginManager()->instantiatePluginType("MediaBin"));
  ASSERT_NE(bin, nullptr);
  MainThread::processUntil([] { return false; }, 0.05);
  for (const auto& layer : {lower, upper}) {
    LayerWindowTabView::bringLayerToTopOfClosestBin(layer.get(), QRectF(0, 0, 100, 100));
    EXPECT_EQ(bin->layerController()->currentLayer(), layer->layerName());
  }
  controller.pluginManager()->deleteAllPlugins();
  compositor->deleteAllLayers();
  controller.applicationWillTerminate();
}

TEST(AppControllerMediaBin, ProjectPagesRestoredThroughTheQueueSaveBackEqual) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  AppController controller;
  QKPageController* pages = controller.pageController();
  QKFileLoader* loader = controller.fileLoaderObject();

  // A movie big enough that reading it into memory takes a while.
  const QString folder = TestEnvironment::makeTempDir("media");
  TestClipSpec spec;
  spec.width = 640;
  spec.height = 360;
  spec.frames = 90;
  spec.chromaNoise = 40;
  ASSERT_EQ(TestClip::write(folder + "/big.mov", spec), QString());
  ASSERT_EQ(TestClip::write(folder + "/small.mov", TestClipSpec{}), QString());
  QImage still(16, 12, QImage::Format_RGB32);
  still.fill(Qt::darkCyan);
  ASSERT_TRUE(still.save(folder + "/still.png"));
  const std::pair<const char*, QByteArray> others[] = {
      {"/words.txt", "read from disk"},
      {"/page.html", "<p>page</p>"},
      {"/comp.qtz", PropertyList::toXml(QVariantMap{})}};
  for (const auto& [name, bytes] : others) {
    QFile file(folder + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
  }
  UserDefaults::standard().setValue("ramloadDefault", 1);
  loader->addTheseFilesToQueue({folder + "/big.mov"}, nullptr, 0, false);
  ASSERT_TRUE(MainThread::processUntil([&] { return !loader->loading(); }, 30));
  UserDefaults::standard().remove("ramloadDefault");
  pages->addBlankPage();
  auto second = pages->pages()[1];
  loader->addTheseFilesToQueue({folder + "/small.mov", folder + "/still.png", folder + "/words.txt",
                                folder + "/page.html", folder + "/comp.qtz"},
                               second.get(), 2, false);
  pages->addTapNamed("VidIn 1", second->uniqueFileId(), 9);
  pages->addBlankTextFileToPageWithId(second->uniqueFileId(), 10);
  pages->addNewURLFileToPageWithId(second->uniqueFileId(), 11);
  loader->addTheseSnapshotsToQueue({QVariantMap{{"qkFileType", 0},
                                                {"uniqueFileId", 900},
                                                {"name", "gone"},
                                                {"fullPath", folder + "/gone.mov"}}},
                                   second.get(), 5, false);
  ASSERT_TRUE(MainThread::processUntil([&] { return !loader->loading(); }, 30));
  auto big = std::dynamic_pointer_cast<QKQTFile>(pages->pages()[0]->contents()[0]);
  ASSERT_TRUE(big && big->validFile());
  ASSERT_EQ(big->movieProp(MovieProps::kRamload).toInt(), 1);
  const QVariantMap saved = pages->createSnapshot();

  Alert::clearRecorded();
  pages->loadSnapshot(saved);
  const double longestPassMs = finishTimingPasses(loader);
  std::printf("longest main-loop pass restoring a RAM-loaded movie: %.1f ms\n", longestPassMs);
  ::testing::Test::RecordProperty("longestPassMs", int(longestPassMs));
  EXPECT_EQ(pages->createSnapshot(), withoutTapPaths(saved));
  ASSERT_EQ(Alert::recorded().size(), 1u) << "one alert for the missing file";
  const auto& cells = pages->pages()[1]->contents();
  ASSERT_EQ(cells.size(), 12u);
  std::set<int> kinds;
  for (const auto& cell : cells)
    if (cell) kinds.insert(cell->qkFileType());
  EXPECT_EQ(kinds, (std::set<int>{0, 1, 2, 3, 4, 6})) << "a file of every kind";
  EXPECT_EQ(cells[0], nullptr);
  EXPECT_FALSE(pages->fileForUniqueId(900)->validFile());
  controller.applicationWillTerminate();
}

}  // namespace

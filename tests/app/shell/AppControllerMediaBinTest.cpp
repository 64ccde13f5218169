// The media bin's model in the running program: created at start-up, reached
// by the File menu and by the finder notification, and a project's pages
// restored through the queue saving back to the same snapshot.
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
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

struct LoaderAsker : QKFileLoaderClient {
  void setFileLoader(QKFileLoader* found) override { loader = found; }
  QKFileLoader* loader = nullptr;
};

QAction* fileMenuAction(QMainWindow* window, const QString& name) {
  for (QAction* menu : window->menuBar()->actions())
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

  QAction* import = fileMenuAction(controller.mainWindow(), "fileMenuImportMedia");
  QAction* cancel = fileMenuAction(controller.mainWindow(), "cancelFileLoading");
  ASSERT_NE(import, nullptr);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(import->text(), QStringLiteral("Import Media…"));
  EXPECT_EQ(cancel->text(), QStringLiteral("Cancel File Loading"));
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
  UserDefaults::standard().setValue("ramloadDefault", 1);
  loader->addTheseFilesToQueue({folder + "/big.mov"}, nullptr, 0, false);
  ASSERT_TRUE(MainThread::processUntil([&] { return !loader->loading(); }, 30));
  UserDefaults::standard().remove("ramloadDefault");
  pages->addBlankPage();
  auto second = pages->pages()[1];
  loader->addTheseFilesToQueue({folder + "/small.mov"}, second.get(), 2, false);
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
  EXPECT_EQ(pages->createSnapshot(), saved);
  ASSERT_EQ(Alert::recorded().size(), 1u) << "one alert for the missing file";
  EXPECT_EQ(pages->pages()[1]->contents().size(), 6u);
  EXPECT_FALSE(pages->pages()[1]->contents()[5]->validFile());
  controller.applicationWillTerminate();
}

}  // namespace

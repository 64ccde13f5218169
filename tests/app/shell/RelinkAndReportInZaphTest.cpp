// In the running program: a project file whose still moved is found again
// through the missing-files window, which the loader's alert and the File
// menu open; the Help menu opens the bug reporter.
#include "app/shell/AppController.h"
#include "app/shell/PMMissingFilesController.h"
#include "app/shell/PresetManager.h"
#include "app/shell/QKBugReporter.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

namespace {

QAction* menuAction(QMenuBar* bar, const QString& menuTitle, const QString& name) {
  for (QAction* menu : bar->actions())
    if (menu->text() == menuTitle && menu->menu())
      for (QAction* item : menu->menu()->actions())
        if (item->objectName() == name) return item;
  return nullptr;
}

TEST(RelinkAndReportInZaph, MovedStillIsRelinkedFromTheMissingFilesWindow) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  AppController controller;
  QKFileLoader* loader = controller.fileLoaderObject();
  PresetManager* presets = controller.presetManager();
  const QString folder = TestEnvironment::makeTempDir("moved");
  QImage still(32, 24, QImage::Format_RGB32);
  still.fill(Qt::red);
  ASSERT_TRUE(QDir().mkpath(folder + "/found"));
  ASSERT_TRUE(still.save(folder + "/found/still.png"));

  Alert::clearRecorded();
  Alert::scriptAnswers({QStringLiteral("Relink Manually")});
  auto page = controller.pageController()->firstPage();
  loader->addTheseSnapshotsToQueue({QVariantMap{{"qkFileType", 6},
                                                {"uniqueFileId", 901},
                                                {"name", "still"},
                                                {"fullPath", folder + "/old/still.png"}}},
                                   page.get(), 0, false);
  PMMissingFilesController* window = controller.missingFilesController();
  ASSERT_TRUE(MainThread::processUntil([&] { return window->panel()->isVisible(); }, 10));
  ASSERT_EQ(presets->missingFileArray().size(), 1u);
  const auto file = presets->missingFileArray()[0];
  EXPECT_FALSE(file->validFile());

  window->relinkFile(file, presets->missingFileSnapArray()[0].toMap(), folder + "/found/still.png");
  ASSERT_TRUE(MainThread::processUntil([&] { return !window->panel()->isVisible(); }, 10));
  EXPECT_TRUE(file->validFile());
  EXPECT_EQ(file->fullPath(), folder + "/found/still.png");
  EXPECT_TRUE(presets->missingFileArray().empty());
  EXPECT_TRUE(presets->missingFileSnapArray().isEmpty());

  QAction* relink = menuAction(controller.menuBar(), "File", "fileMenuRelinkMedia");
  ASSERT_NE(relink, nullptr);
  relink->trigger();
  EXPECT_TRUE(window->panel()->isVisible()) << "the File menu shows the media all the same";
  window->doneButtonClicked();

  // The Help item probes the report site first.
  LoopbackHttpServer site;
  UserDefaults::standard().setValue(QKBugReporter::kAddressKey, site.url(QString()));
  QAction* report = menuAction(controller.menuBar(), "Help", "reportBugChosen");
  ASSERT_NE(report, nullptr);
  report->trigger();
  ASSERT_NE(controller.bugReporter(), nullptr);
  EXPECT_TRUE(MainThread::processUntil(
      [&] { return controller.bugReporter()->bugReporterWindow()->isVisible(); }, 10));
  controller.bugReporter()->cancelBugReportClicked();
  Alert::clearScriptedAnswers();
  controller.applicationWillTerminate();
}

}  // namespace

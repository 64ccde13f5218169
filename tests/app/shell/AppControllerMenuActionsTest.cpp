// The menus' action table as the performer meets it: every item once, in
// its menu; Gather Outputs and the Fullscreen item over a real output; the
// tutorial; a Help item opening its page.
#include "app/compositor/CompositorGLView.h"
#include "app/compositor/CompositorWindow.h"
#include "app/shell/AppController.h"
#include "app/shell/PresetManager.h"
#include "framework/controls/QKButton.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ManualDelayedCalls.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

#define NEEDS_GL()                                                     \
  if (QGuiApplication::platformName() == QLatin1String("offscreen") || \
      !TestEnvironment::hasDisplay())                                  \
  GTEST_SKIP() << "the controller's render thread needs GL"

class AppControllerMenuActions : public testing::Test {
 protected:
  void SetUp() override {
    UserDefaults::standard().resetForTesting();
    UserDefaults::standard().setFilePath(TestEnvironment::makeTempDir() +
                                         QStringLiteral("/defaults.plist"));
    Alert::clearRecorded();
  }
  static QMenu* menu(AppController& controller, const QString& title) {
    for (QAction* entry : controller.menuBar()->actions())
      if (entry->text() == title) return entry->menu();
    return nullptr;
  }
};

TEST_F(AppControllerMenuActions, EveryItemOfTheTableSitsOnceInItsMenu) {
  NEEDS_GL();
  AppController controller;
  for (const AppController::MenuAction& entry : AppController::menuActions()) {
    QMenu* owner = menu(controller, QString::fromLatin1(entry.menu));
    ASSERT_TRUE(owner) << entry.menu;
    int found = 0;
    for (QAction* item : owner->actions())
      if (item->text() == QString::fromUtf8(entry.title)) ++found;
    EXPECT_EQ(found, 1) << entry.title;
    QAction* item = controller.menuItem(QString::fromLatin1(entry.name));
    ASSERT_TRUE(item) << entry.name;
    EXPECT_EQ(item->isEnabled(), entry.enabled) << entry.name;
  }
  EXPECT_FALSE(controller.menuItem(QStringLiteral("fileMenuClose"))->isEnabled());
  controller.applicationWillTerminate();
}

TEST_F(AppControllerMenuActions, GatherLeavesFullscreenThenPlacesTheOutputInFront) {
  NEEDS_GL();
  AppController controller;
  CompositorGLView* view = controller.outputView();
  QKButton* toggle = controller.compositorWindow()->fullscreenToggle();
  view->setFullscreenFlagArray({true});
  controller.menuItem(QStringLiteral("windowMenuFullscreenToggle"))->trigger();
  ASSERT_TRUE(MainThread::processUntil([&] { return view->fullscreen(); }, 5.0));
  EXPECT_TRUE(controller.menuItem(QStringLiteral("windowMenuFullscreenToggle"))->isChecked());

  controller.menuItem(QStringLiteral("windowMenuGatherOutputs"))->trigger();
  EXPECT_FALSE(view->fullscreen());
  EXPECT_EQ(toggle->intValue(), 0);
  const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
  EXPECT_EQ(view->window()->geometry(), QRect(origin + QPoint(100, 100), QSize(320, 240)))
      << "placed after leaving fullscreen, which restores the old frame";
  EXPECT_TRUE(view->window()->isVisible());

  controller.menuItem(QStringLiteral("windowMenuFullscreenToggle"))->trigger();
  EXPECT_TRUE(MainThread::processUntil([&] { return view->fullscreen(); }, 5.0));
  controller.menuItem(QStringLiteral("windowMenuFullscreenToggle"))->trigger();
  EXPECT_TRUE(MainThread::processUntil([&] { return !view->fullscreen(); }, 5.0));
  EXPECT_FALSE(controller.menuItem(QStringLiteral("windowMenuFullscreenToggle"))->isChecked());
  controller.applicationWillTerminate();
}

TEST_F(AppControllerMenuActions, TutorialClearsTheSetAndLoadsTwoSecondsLater) {
  NEEDS_GL();
  AppController controller;
  ManualDelayedCalls delays;
  controller.setDelayedCalls(&delays);
  PresetManager* presets = controller.presetManager();
  const QString tutorial = PresetManager::tutorialProjectPath();
  const QString shipped = tutorial + QStringLiteral(".shipped");
  QFile::remove(shipped);
  QFile::rename(tutorial, shipped);
  UserDefaults::standard().setValue(QStringLiteral("loadPresetPath"), QStringLiteral("/set.zaph"));

  presets->takeSnapshot(QStringLiteral("Everything"));
  controller.menuItem(QStringLiteral("tutorialMenuChosen"))->trigger();
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_EQ(Alert::recorded()[0].title, QStringLiteral("Missing Tutorial Project"));
  EXPECT_EQ(Alert::recorded()[0].message,
            QStringLiteral("Sorry, the tutorial project file is missing"));
  EXPECT_EQ(presets->arrangedPresets().size(), 1) << "the set is untouched";
  EXPECT_EQ(UserDefaults::standard().stringValue(QStringLiteral("loadPresetPath")),
            QStringLiteral("/set.zaph"));

  QDir().mkpath(QFileInfo(tutorial).path());
  ASSERT_EQ(presets->writePresetsToVerifiedPath(tutorial), QString());
  controller.menuItem(QStringLiteral("tutorialMenuChosen"))->trigger();
  EXPECT_EQ(presets->arrangedPresets().size(), 0) << "cleared at once";
  EXPECT_EQ(UserDefaults::standard().stringValue(QStringLiteral("loadPresetPath")), tutorial);
  delays.advance(1.9);
  EXPECT_EQ(presets->arrangedPresets().size(), 0);
  delays.advance(0.1);
  EXPECT_EQ(presets->arrangedPresets().size(), 1) << "loaded 2 s later";
  QFile::remove(tutorial);
  QFile::rename(shipped, tutorial);
  controller.applicationWillTerminate();
}

TEST_F(AppControllerMenuActions, HelpOpensTheConfiguredPage) {
  NEEDS_GL();
  LoopbackHttpServer wiki;
  UserDefaults::standard().setValue(QStringLiteral("helpWikiURL"), wiki.url());
  AppController controller;
  QList<QUrl> opened;
  controller.setUrlOpener([&opened](const QUrl& url) {
    opened << url;
    return true;
  });
  controller.menuItem(QStringLiteral("helpMenuChosen"))->trigger();
  ASSERT_TRUE(MainThread::processUntil([&] { return !opened.isEmpty(); }, 10.0));
  EXPECT_EQ(opened[0].toString(), wiki.url(QStringLiteral("/index.php/ZAPH")));
  controller.applicationWillTerminate();
}

}  // namespace

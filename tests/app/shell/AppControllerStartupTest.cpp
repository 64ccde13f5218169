// ZAPH's start-up, files opened with it, the starting point, the fullscreen
// gate, the idle timer and quitting.
#include "app/compositor/CompositorGLView.h"
#include "app/compositor/CompositorWindow.h"
#include "app/compositor/Compositor.h"
#include "app/shell/AppController.h"
#include "app/shell/PresetManager.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "platform/foundation/PropertyList.h"
#include "app/shell/StartingPointWindow.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKPageController.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace {

#define NEEDS_DISPLAY() \
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL"

class AppControllerStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = TestEnvironment::makeTempDir();
    UserDefaults::standard().resetForTesting();
    UserDefaults::standard().setFilePath(dir + QStringLiteral("/defaults.plist"));
    Alert::clearRecorded();
    Alert::clearScriptedAnswers();
  }
  void TearDown() override { Alert::clearScriptedAnswers(); }
  QString touch(const QString& name) {
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write("x");
    return path;
  }
  QString dir;
};

// The managers in their one order, each once.
TEST_F(AppControllerStartup, ManagersAreMadeInTheirOrder) {
  NEEDS_DISPLAY();
  QStringList made;
  AppController::setCreationObserver([&](const QString& name) { made << name; });
  {
    AppController controller;
    controller.applicationWillTerminate();
  }
  AppController::setCreationObserver(nullptr);
  const QStringList expected = {QStringLiteral("PrefsController"),
                                QStringLiteral("Compositor"),
                                QStringLiteral("QKPluginManager"),
                                QStringLiteral("MediaInspector"),
                                QStringLiteral("PresetManager"),
                                QStringLiteral("QKSGController"),
                                QStringLiteral("QKStatChecker"),
                                QStringLiteral("QKFolder"),
                                QStringLiteral("MIDIManager"),
                                QStringLiteral("QKOSCManager"),
                                QStringLiteral("QKFileLoader"),
                                QStringLiteral("QKPageController"),
                                QStringLiteral("QKFlashThumbnailGenerator")};
  EXPECT_EQ(made, expected);
}

// Before launch a project is kept for later and media are dropped; after,
// a project empties the set (and loads 1.5 s later) and media are imported.
// Only the first ".zaph" counts; ".ZAPH" is media; missing paths and
// folders are dropped.
TEST_F(AppControllerStartup, OpenedFilesAreRouted) {
  NEEDS_DISPLAY();
  const QString show = touch(QStringLiteral("Show.zaph"));
  const QString other = touch(QStringLiteral("Other.zaph"));
  const QString upper = touch(QStringLiteral("Loud.ZAPH"));
  const QString image = touch(QStringLiteral("still.png"));
  const QString missing = dir + QStringLiteral("/gone.zaph");
  const QString folder = dir + QStringLiteral("/folder.zaph");
  QDir().mkpath(folder);
  struct Case {
    const char* name;
    bool launched;
    QStringList paths;
    QString kept;        // before launch
    bool emptiesTheSet;  // after launch
    bool imports;        // after launch
  };
  const std::vector<Case> cases = {
      // Before launch the kept path carries over from case to case.
      {"media before", false, {image}, {}, false, false},
      {"upper case is media, before", false, {upper}, {}, false, false},
      {"missing and folder, before", false, {missing, folder}, {}, false, false},
      {"project before", false, {show}, show, false, false},
      {"a later project replaces it", false, {image, other, show}, other, false, false},
      {"media leave it", false, {image}, other, false, false},
      {"project after", true, {show}, {}, true, false},
      {"media after", true, {image, upper}, {}, false, true},
      {"several with a project, after", true, {image, show}, {}, true, false},
      {"missing and folder, after", true, {missing, folder}, {}, false, false},
  };
  for (bool launched : {false, true}) {
    AppController controller;
    if (launched) controller.applicationDidFinishLaunching();
    for (const Case& c : cases) {
      if (c.launched != launched) continue;
      SCOPED_TRACE(c.name);
      NotificationCounter emptied(QStringLiteral("QKPMRestoreStartNotification"));
      QKFileLoader* loader = controller.fileLoaderObject();
      if (c.paths.size() == 1)
        EXPECT_TRUE(controller.applicationOpenFile(c.paths.front()));
      else
        controller.applicationOpenFiles(c.paths);
      if (!launched) EXPECT_EQ(controller.loadFileOnLaunch(), c.kept);
      EXPECT_EQ(emptied.count(), c.emptiesTheSet ? 1 : 0);
      EXPECT_EQ(loader->loading(), c.imports);
      if (loader->loading()) loader->cancelFileLoading();
      MainThread::processUntil([&] { return !loader->loading(); }, 3.0);
    }
    controller.applicationWillTerminate();
  }
}

// The check box, the default it stores, and what each button leaves (a
// first start's last set is the shipped tutorial, which restores).
TEST_F(AppControllerStartup, TheStartingPoint) {
  NEEDS_DISPLAY();
  struct Case {
    const char* name;
    QPushButton* (StartingPointWindow::*button)() const;
    bool restores;
    bool gateOpen;
    bool versionRecorded;
  };
  const Case cases[] = {
      {"new set", &StartingPointWindow::newSetButton, true, true, true},
      {"open set", &StartingPointWindow::openSetButton, false, false, true},
      {"open last set", &StartingPointWindow::openLastSetButton, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UserDefaults::standard().resetForTesting();
    UserDefaults::standard().setFilePath(dir + QStringLiteral("/defaults-%1.plist").arg(c.name));
    AppController controller;
    NotificationCounter emptied(QStringLiteral("QKPMRestoreStartNotification"));
    bool ticked = false;
    bool modal = false;
    QTimer::singleShot(100, [&] {
      StartingPointWindow* window = controller.startingPointWindow();
      if (!window) return;
      ticked = window->triggerPresetButton()->isChecked();
      modal = window->isModal() && window->windowModality() == Qt::ApplicationModal;
      if (c.button == &StartingPointWindow::newSetButton)
        saveScreenshot(window->grab().toImage(), QStringLiteral("starting-point-window"));
      (window->*c.button)()->click();
    });
    controller.openStartingPointWindow();  // runs modally until a button
    EXPECT_TRUE(ticked);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(controller.startingPointWindow()->isVisible());
    EXPECT_EQ(UserDefaults::standard().integerValue(QStringLiteral("startingPointTriggerPreset")),
              1);
    EXPECT_EQ(emptied.count(), c.restores ? 1 : 0);
    EXPECT_EQ(controller.startingPointCheckDone(), c.gateOpen);
    EXPECT_EQ(UserDefaults::standard().contains(QStringLiteral("lastVsnUsedToOpenString")),
              c.versionRecorded);
    controller.applicationWillTerminate();
  }
}

// Both halves, in either order, one from another thread: the restore runs
// once, on the main thread, and only while "fullscreenFlag" is set.
TEST_F(AppControllerStartup, TheFullscreenGate) {
  NEEDS_DISPLAY();
  AppController controller;
  int restores = 0;
  bool onMain = true;
  controller.setFullscreenRestoreHook([&] {
    ++restores;
    onMain = onMain && MainThread::isMainThread();
  });
  EXPECT_TRUE(MainThread::processUntil([&] { return controller.bugReporterCheckDone(); }, 10.0))
      << "released when the internet thread has no server to ask";
  UserDefaults::standard().setValue(QStringLiteral("fullscreenFlag"), true);
  std::thread other([&] { controller.setStartingPointCheckDone(); });
  other.join();
  EXPECT_TRUE(MainThread::processUntil([&] { return restores == 1; }, 3.0));
  EXPECT_TRUE(onMain);
  UserDefaults::standard().setValue(QStringLiteral("fullscreenFlag"), false);
  controller.checkAndPerformFullscreenResto();
  EXPECT_EQ(restores, 1) << "the flag is read again";
  controller.applicationWillTerminate();
}

TEST_F(AppControllerStartup, TheGateWaitsForBothHalves) {
  NEEDS_DISPLAY();
  UserDefaults::standard().setValue(QStringLiteral("fullscreenFlag"), true);
  AppController controller;
  int restores = 0;
  controller.setFullscreenRestoreHook([&] { ++restores; });
  ASSERT_TRUE(MainThread::processUntil([&] { return controller.bugReporterCheckDone(); }, 10.0));
  controller.checkAndPerformFullscreenResto();
  EXPECT_EQ(restores, 0) << "the starting point has not been passed";
  controller.setStartingPointCheckDone();
  controller.crashReporterCheckDone();
  EXPECT_EQ(restores, 2) << "each half set calls the check";
  controller.applicationWillTerminate();
}

// The idle timer goes on in a modal dialog and in an open menu.
TEST_F(AppControllerStartup, TheIdleTimerFiresInModalDialogsAndMenus) {
  NEEDS_DISPLAY();
  AppController controller;
  qint64 before = 0;
  qint64 during = 0;
  QMessageBox box(QMessageBox::Information, QStringLiteral("t"), QStringLiteral("m"));
  QTimer::singleShot(0, [&] { before = controller.idleCount(); });
  QTimer::singleShot(400, [&] {
    during = controller.idleCount() - before;
    box.done(0);
  });
  box.exec();
  EXPECT_GE(during, 5) << "in a modal dialog";
  QMenu menu;
  menu.addAction(QStringLiteral("item"));
  QTimer::singleShot(0, [&] { before = controller.idleCount(); });
  QTimer::singleShot(400, [&] {
    during = controller.idleCount() - before;
    menu.close();
  });
  menu.exec(QPoint(100, 100));
  EXPECT_GE(during, 5) << "in an open menu";
  controller.applicationWillTerminate();
}

// Quit asks; "Nope" keeps the program; "Yep" posts the notification before
// answering.
TEST_F(AppControllerStartup, QuitAsks) {
  NEEDS_DISPLAY();
  AppController controller;
  ASSERT_NE(controller.outputView(), nullptr);
  NotificationCounter quitting(QStringLiteral("AppAboutToQuitNotification"));
  Alert::scriptAnswers({QStringLiteral("Nope")});
  EXPECT_EQ(controller.applicationShouldTerminate(), AppController::TerminateReply::Cancel);
  EXPECT_EQ(quitting.count(), 0);
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_EQ(Alert::recorded()[0].title, QStringLiteral("Hang on a second...."));
  EXPECT_EQ(Alert::recorded()[0].message, QStringLiteral("Are you sure you want to quit?"));
  EXPECT_EQ(Alert::recorded()[0].buttons,
            (QStringList{QStringLiteral("Nope"), QStringLiteral("Yep")}));
  Alert::scriptAnswers({QStringLiteral("Yep")});
  EXPECT_EQ(controller.applicationShouldTerminate(), AppController::TerminateReply::Now);
  EXPECT_EQ(quitting.count(), 1);
  controller.applicationWillTerminate();
  EXPECT_EQ(quitting.count(), 1) << "posted once";
}

// The menu's Quit with "Yep" ends the event loop with status 0.
TEST_F(AppControllerStartup, TheQuitItemEndsTheProgram) {
  NEEDS_DISPLAY();
  AppController controller;
  Alert::scriptAnswers({QStringLiteral("Yep")});
  QTimer::singleShot(0, &controller, [&] { controller.quitMenuUsed(); });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(3); });
  watchdog.start(5000);
  EXPECT_EQ(QApplication::exec(), 0);
  controller.applicationWillTerminate();
}

// Without an output view (the composition runtime failed) quit asks
// nothing, and still posts the notification so that threads wind down.
TEST_F(AppControllerStartup, QuitWithoutAnOutputViewStillPostsTheNotification) {
  NEEDS_DISPLAY();
  const QString resources = TestEnvironment::makeTempDir();
  QFile broken(resources + QStringLiteral("/black.qtz"));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("not a composition");
  broken.close();
  Paths::setResourcesDirOverride(resources);
  {
    AppController controller;
    Paths::setResourcesDirOverride({});
    ASSERT_TRUE(controller.compositionRuntimeFailed());
    ASSERT_EQ(controller.outputView(), nullptr);
    NotificationCounter quitting(QStringLiteral("AppAboutToQuitNotification"));
    Alert::clearRecorded();
    EXPECT_EQ(controller.applicationShouldTerminate(), AppController::TerminateReply::Now);
    EXPECT_EQ(quitting.count(), 1);
    EXPECT_TRUE(Alert::recorded().empty());
    controller.applicationWillTerminate();
  }
  Paths::setResourcesDirOverride({});
}

}  // namespace

namespace {

// A palette button bound to a MIDI note keeps its binding through a saved
// project and its palette shortcuts read back.
TEST_F(AppControllerStartup, APaletteButtonKeepsItsMIDIBindingThroughSaveAndLoad) {
  NEEDS_DISPLAY();
  AppController controller;
  PresetManager* presets = controller.presetManager();
  ASSERT_NE(presets, nullptr);
  QKButton* trigger = presets->paletteButton(QStringLiteral("triggerButton"));
  ASSERT_NE(trigger, nullptr);
  const KeyPath note = {QStringLiteral("MIDI"), QStringLiteral("To ZAPH"), QStringLiteral("Ch 1"),
                        QStringLiteral("Note 60")};
  trigger->cell()->useThisSource(note);
  trigger->cell()->setSyncFlag(true);
  presets->presetArray() << QVariantMap{
      {QStringLiteral("QKPMNameKey"), QStringLiteral("A")},
      {QStringLiteral("QKPMTypeKey"), QStringLiteral("Everything")},
      {QStringLiteral("QKPMIndexKey"), qint64(0)}};
  const QString path = dir + QStringLiteral("/Bound.zaph");
  presets->setSavePath(path);
  presets->saveButtonUsed();
  const PropertyList::Result read = PropertyList::read(path);
  ASSERT_TRUE(read.ok()) << read.error.toStdString();
  const QVariantMap shortcuts =
      read.value.toMap().value(QStringLiteral("paletteShortcutSnapshot")).toMap();
  EXPECT_TRUE(shortcuts.value(QStringLiteral("masterClock"))
                  .toMap()
                  .contains(QStringLiteral("listenForMIDIClock")));
  EXPECT_TRUE(shortcuts.value(QStringLiteral("compositor"))
                  .toMap()
                  .contains(QStringLiteral("toggleDisplayButton")));

  trigger->cell()->setSyncFlag(false);
  trigger->cell()->useThisSource({QStringLiteral("Mouse"), QStringLiteral("X")});
  presets->matchThisPaletteShortcutSnapshot(shortcuts);
  EXPECT_EQ(trigger->cell()->syncArray(), note);
  trigger->cell()->setSyncFlag(false);
  controller.applicationWillTerminate();
}

// What a performer sees: the compositor palette, the output, the Plugin
// Manager, the Preset Manager and the Clock, then the starting point; a new
// set, and a layer made with the palette's own button.
TEST_F(AppControllerStartup, TheProgramAPerformerOpens) {
  NEEDS_DISPLAY();
  AppController controller;
  controller.applicationDidFinishLaunching();
  QStringList shown;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible()) shown << window->windowTitle();
  for (const char* title :
       {"Layer Manager", "Plugin Manager", "Preset Manager", "Clock", "Media Inspector"})
    EXPECT_TRUE(shown.contains(QString::fromLatin1(title)))
        << title << " among " << shown.join(", ").toStdString();
  ASSERT_NE(controller.outputView(), nullptr);
  EXPECT_TRUE(controller.outputView()->window()->isVisible());
  EXPECT_TRUE(
      MainThread::processUntil([&] { return controller.outputView()->displayLinkRunning(); }, 5.0));
  EXPECT_EQ(controller.startingPointWindow(), nullptr) << "not before 1.5 s";
  bool appeared = false;
  QTimer::singleShot(2500, [&] {
    StartingPointWindow* window = controller.startingPointWindow();
    if (!window || !window->isVisible()) return;
    appeared = true;
    window->newSetButton()->click();
  });
  const bool stopped = MainThread::processUntil([&] { return appeared; }, 6.0);
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(controller.startingPointCheckDone());
  EXPECT_EQ(controller.presetManager()->setNameFieldText(), QStringLiteral("<new project>"));
  controller.compositorWindow()->newLayerButton()->click();
  EXPECT_EQ(controller.compositorObject()->topLevelLayers().size(), 1u);
  QWidget* palette = controller.compositorWindow()->window();
  palette->raise();
  const QImage picture = palette->grab().toImage();
  saveScreenshot(picture, QStringLiteral("zaph-compositor-palette"));
  EXPECT_GT(picture.width(), 200);
  controller.applicationWillTerminate();
}

}  // namespace

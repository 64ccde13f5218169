#include "app/shell/AppController.h"

#include "app/compositor/CompositorGLView.h"
#include "app/compositor/CompositorWindow.h"
#include "app/prefs/PrefsController.h"
#include "app/shell/AppWindowMenuController.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "platform/composition/QCRenderer.h"
#include "platform/display/ScreenList.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/Eventually.h"
#include "tests/support/Screenshot.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

bool spin(const std::function<bool()>& done, double seconds = 5.0) {
  return waitFor(
      [&] {
        QCoreApplication::processEvents();
        return done();
      },
      seconds);
}

QImage grabOutput(CompositorGLView& view) {
  return QGuiApplication::primaryScreen()->grabWindow(view.window()->winId()).toImage();
}

// Start-up shows the compositor window and a black output window fed by the
// render thread; the display toggle is on; fullscreen goes over the chosen
// screen and back.
TEST(AppControllerOutput, ShowsTheCompositorWindowAndABlackOutputFedEveryFrame) {
  if (QGuiApplication::platformName() == QLatin1String("offscreen"))
    GTEST_SKIP() << "no OpenGL on the offscreen platform";
  bool doneSettingUp = false;
  NotificationCenter::defaultCenter().addObserver(
      &doneSettingUp, CompositorGLView::kDoneSettingUpNotification, nullptr,
      [&](const Notification&) { doneSettingUp = true; });
  {
    AppController controller;
    CompositorGLView* view = controller.outputView();
    ASSERT_TRUE(view);
    EXPECT_TRUE(controller.compositorWindow()->window()->isVisible());
    EXPECT_EQ(controller.compositorWindow()->toggleDisplayButton()->intValue(), 1);
    EXPECT_TRUE(controller.tapManager());
    ASSERT_TRUE(spin([&] { return doneSettingUp; }));
    EXPECT_EQ(view->window()->title(), "Main Output [640 x 480]");
    ASSERT_TRUE(spin([&] { return view->window()->presentedCount() > 3; }));
    // While the output displays, the black composition gets a renderer of
    // its own; a second call makes a new one.
    CompositorWindow* window = controller.compositorWindow();
    window->prepareEmptyRenderer();
    const std::shared_ptr<composition::QCRenderer> first = window->emptyRenderer();
    EXPECT_TRUE(first);
    window->prepareEmptyRenderer();
    EXPECT_TRUE(window->emptyRenderer());
    EXPECT_NE(window->emptyRenderer(), first);
    QStringList entries;
    for (QAction* entry : controller.appWindowMenuController()->paletteEntries()) {
      entries << entry->text();
      // The layer list is the palette that Ctrl+4 shows and hides.
      if (entry->text() == "Layer Manager")
        EXPECT_EQ(entry->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_4));
      // The effects browser is Ctrl+5.
      if (entry->text() == "Video FX Palette") {
        EXPECT_EQ(entry->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_5));
      }
      // The capture palette is the live input manager, Ctrl+9.
      if (entry->text() == "Live Input Manager")
        EXPECT_EQ(entry->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_9));
    }
    EXPECT_TRUE(entries.contains("Layer Manager")) << entries.join(", ").toStdString();
    EXPECT_TRUE(entries.contains("Video FX Palette")) << entries.join(", ").toStdString();
    EXPECT_TRUE(entries.contains("Live Input Manager")) << entries.join(", ").toStdString();
    QAction* outputEntry = nullptr;
    for (QAction* menu : controller.menuBar()->actions())
      if (menu->text() == "Window")
        for (QAction* item : menu->menu()->actions())
          if (item->text() == "Main Output") outputEntry = item;
    ASSERT_TRUE(outputEntry);
    outputEntry->setChecked(true);
    outputEntry->trigger();  // unchecks it: the output hides
    EXPECT_FALSE(view->window()->isVisible());
    outputEntry->trigger();  // and shows again
    EXPECT_TRUE(view->window()->isVisible());

    const QImage output = grabOutput(*view);
    saveScreenshot(output, "output-window");
    EXPECT_EQ(output.pixelColor(output.width() / 2, output.height() / 2), QColor(Qt::black));
    saveScreenshot(controller.compositorWindow()->window()->grab().toImage(), "compositor-window");
    // The layer manager's display button opens the chooser in the
    // preferences' "Output" pane.
    controller.compositorWindow()->displayChooserButton()->click();
    ASSERT_TRUE(controller.prefsController()->isVisible());
    EXPECT_EQ(controller.prefsController()->shownPane(),
              controller.prefsController()->paneView(PrefsController::kOutputRow));
    saveScreenshot(controller.prefsController()->grab().toImage(), "preferences-output-pane");

    view->setFullscreenFlagArray({true});
    controller.compositorWindow()->fullscreenToggle()->setIntValue(1, false);
    controller.compositorWindow()->fullscreenToggleUsed();
    EXPECT_TRUE(view->fullscreen());
    EXPECT_EQ(view->window()->geometry(), ScreenList::frames().first());
    const std::uint64_t before = view->window()->presentedCount();
    ASSERT_TRUE(spin([&] { return view->window()->presentedCount() > before + 3; }));
    controller.compositorWindow()->fullscreenToggle()->setIntValue(0, false);
    controller.compositorWindow()->fullscreenToggleUsed();
    EXPECT_FALSE(view->fullscreen());
    EXPECT_EQ(view->window()->size(), QSize(640, 480));
    // Not displaying: the renderer goes and none is made.
    window->toggleDisplayButton()->setIntValue(0, false);
    window->displayToggleUsed();
    window->prepareEmptyRenderer();
    EXPECT_FALSE(window->emptyRenderer());
    controller.applicationWillTerminate();
    EXPECT_FALSE(view->displayLinkRunning());
  }
  NotificationCenter::defaultCenter().removeObserver(&doneSettingUp);
}

}  // namespace

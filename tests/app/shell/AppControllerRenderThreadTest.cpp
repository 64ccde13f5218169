#include "app/shell/AppController.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/RenderThread.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

TEST(AppControllerRenderThread, RunsFromStartUpAndStopsAfterTheQuitNotification) {
  if (QGuiApplication::platformName() == QLatin1String("offscreen"))
    GTEST_SKIP() << "no OpenGL on the offscreen platform";
  gl::RenderThread& thread = gl::RenderThread::instance();
  bool runningAtQuitNotice = false;
  NotificationCenter::defaultCenter().addObserver(
      &runningAtQuitNotice, QStringLiteral("AppAboutToQuitNotification"), nullptr,
      [&](const Notification&) { runningAtQuitNotice = thread.isRunning(); });
  {
    AppController controller;
    EXPECT_TRUE(thread.isRunning());
    controller.applicationWillTerminate();
    EXPECT_FALSE(thread.isRunning());
  }
  NotificationCenter::defaultCenter().removeObserver(&runningAtQuitNotice);
  EXPECT_TRUE(runningAtQuitNotice) << "observers of the quit notice may still hand work over";
}

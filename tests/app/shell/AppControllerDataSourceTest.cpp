#include "app/shell/AppController.h"

#include "framework/datasource/DataSourceController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMainWindow>
#include <gtest/gtest.h>

#include <thread>

TEST(AppControllerDataSource, TicksFromStartUpAndStopsAtQuit) {
  AppController controller;
  DataSourceController* dsc = controller.dataSourceController();
  ASSERT_NE(dsc, nullptr);
  EXPECT_NE(dsc->dataSourceForKeyArray({QStringLiteral("ZAPH")}), nullptr);
  EXPECT_TRUE(dsc->tickThreadRunning());

  const int32_t start = DataSourceController::DSCTime();
  QElapsedTimer waited;
  waited.start();
  while (DataSourceController::DSCTime() == start && waited.elapsed() < 5000)
    std::this_thread::yield();
  EXPECT_NE(DataSourceController::DSCTime(), start) << "the tick thread does not tick";

  controller.applicationWillTerminate();
  EXPECT_FALSE(dsc->tickThreadRunning());
  const int32_t stopped = DataSourceController::DSCTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(DataSourceController::DSCTime(), stopped);
}

TEST(AppControllerDataSource, KeysOfTheMainWindowReachTheKeyNodes) {
  AppController controller;
  DataSourceController* dsc = controller.dataSourceController();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  QCoreApplication::sendEvent(controller.mainWindow(), &press);
  const auto node = dsc->dataSourceForKeyArray({QStringLiteral("Key"), QStringLiteral("a")});
  ASSERT_NE(node, nullptr);
  EXPECT_FLOAT_EQ(node->value(), 1.0f);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  QCoreApplication::sendEvent(controller.mainWindow(), &release);
  EXPECT_FLOAT_EQ(node->value(), 0.0f);
  controller.applicationWillTerminate();
}

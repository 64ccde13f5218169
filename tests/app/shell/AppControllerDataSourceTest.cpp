#include "app/shell/AppController.h"

#include "framework/datasource/DataSourceController.h"

#include <QElapsedTimer>
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

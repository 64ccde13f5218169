#include "app/plugins/clock/MasterClock.h"
#include "app/shell/AppController.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/media/CompositorInterface.h"
#include "tests/support/Eventually.h"

#include <gtest/gtest.h>

TEST(AppControllerClock, MakesTheClockPublishesItsSourcesAndJoinsItAtQuit) {
  AppController controller;
  MasterClock* clock = controller.masterClockObject();
  ASSERT_TRUE(clock);
  EXPECT_EQ(controller.masterClock(), clock);
  EXPECT_TRUE(controller.dataSourceController()->dataSourceForKeyArray(
      {QStringLiteral("ZAPH"), QStringLiteral("Beat 1")}));
  EXPECT_TRUE(controller.dataSourceController()->dataSourceForKeyArray(
      {QStringLiteral("ZAPH"), QStringLiteral("measurePosition")}));
  EXPECT_TRUE(waitFor([&] { return clock->measurePositionExact() > 0.0; }));  // it ticks

  clock->setBeatsPerMeasure(6);
  EXPECT_EQ(controller.compositor()->beatsPerMeasure(), 6);

  controller.applicationWillTerminate();
  EXPECT_FALSE(clock->threadRunning());
}

#include "app/compositor/Compositor.h"
#include "app/compositor/CompositorClient.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

Compositor::Environment quietEnvironment() {
  Compositor::Environment environment;
  environment.gpuVendors = {"NVIDIA"};
  return environment;
}

class FindingClient : public CompositorClient {
 public:
  void setCompositor(Compositor* compositor) override { found = compositor; }
  Compositor* found = nullptr;
};

TEST(CompositorSetUp, AnswersTheFinderNotificationBeforeThePostReturns) {
  Compositor compositor(nullptr, quietEnvironment());
  compositor.awake();
  FindingClient client;
  NotificationCenter::defaultCenter().post(Compositor::kFinderNotification,
                                           static_cast<CompositorClient*>(&client));
  EXPECT_EQ(client.found, &compositor);
  NotificationCenter::defaultCenter().post(Compositor::kFinderNotification, nullptr);  // no asker
}

TEST(CompositorSetUp, LoadsTheFourIconsAndLogsEachOneMissing) {
  {
    Compositor compositor(nullptr, quietEnvironment());
    for (const QImage* icon :
         {&compositor.layerTabGroupImage(), &compositor.layerTabTapImage(),
          &compositor.layerTabVideoInputImage(), &compositor.recordingFileImage()})
      EXPECT_FALSE(icon->isNull());
  }
  Paths::setResourcesDirOverride(TestEnvironment::makeTempDir("no-resources"));
  LogCapture log;
  Compositor compositor(nullptr, quietEnvironment());
  Paths::setResourcesDirOverride({});
  EXPECT_TRUE(compositor.layerTabGroupImage().isNull());
  EXPECT_TRUE(compositor.recordingFileImage().isNull());
  EXPECT_EQ(log.lines().filter("couldn't load"),
            (QStringList{"\t\terror: couldn't load 'groupIcon.pdf'",
                         "\t\terror: couldn't load 'tapIcon.pdf'",
                         "\t\terror: couldn't load 'videoInputIcon.pdf'",
                         "\t\terror: couldn't load 'RecordingFileImage.pdf.pdf'"}));
}

}  // namespace

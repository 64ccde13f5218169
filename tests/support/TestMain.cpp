// Test main shared by every test program. It answers --gtest_list_tests
// before creating the application (test discovery needs no display), gives
// the process its own temporary HOME, config and data folders, and runs the
// tests with the application object (xcb under Xvfb, offscreen without a display),
// set up as ZAPH's main sets it up for web pages.
#include "framework/render/TheApplication.h"
#include "platform/web/WebEngineSetup.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
      testing::InitGoogleTest(&argc, argv);
      return RUN_ALL_TESTS();
    }
  }
  TestEnvironment::prepareProcess();
  TestEnvironment::keepGLDriverLoaded();
  WebEngineSetup::beforeApplication();
  TheApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  TestEnvironment::cleanUpProcess();
  return result;
}

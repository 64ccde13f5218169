#include "platform/gl/DisplayLink.h"

#include "platform/foundation/Log.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

using gl::DisplayLink;

namespace {
bool waitFor(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

TEST(DisplayLink, PacedFramesRunOnTheLinkThreadUntilStopped) {
  DisplayLink link;
  std::atomic<int> frames{0};
  std::atomic<bool> onLinkThread{true};
  link.setRefreshRate(500.0);
  link.setCallback([&](const DisplayLink::Frame& frame) {
    if (!link.isLinkThread()) onLinkThread = false;
    EXPECT_GE(frame.started, frame.deadline);
    ++frames;
  });
  ASSERT_TRUE(link.start());
  EXPECT_TRUE(waitFor([&] { return frames.load() >= 3; }));
  link.stop();
  const int after = frames.load();
  EXPECT_FALSE(link.running());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(frames.load(), after);
  EXPECT_TRUE(onLinkThread.load());
}

TEST(DisplayLink, UnpacedLinkRunsOnlyPostedWorkAndRequestedFrames) {
  DisplayLink link;
  std::atomic<int> frames{0};
  link.setPaced(false);
  link.setCallback([&](const DisplayLink::Frame&) { ++frames; });
  ASSERT_TRUE(link.start());
  std::thread::id ranOn;
  ASSERT_TRUE(link.invokeAndWait([&] { ranOn = std::this_thread::get_id(); }));
  EXPECT_NE(ranOn, std::this_thread::get_id());
  EXPECT_EQ(frames.load(), 0);
  ASSERT_TRUE(link.frameNow());
  EXPECT_EQ(frames.load(), 1);
  EXPECT_EQ(link.frameCount(), 1u);
}

TEST(DisplayLink, HooksRunFirstAndLastOnTheThreadAndARefusalEndsIt) {
  DisplayLink refused;
  EXPECT_FALSE(refused.start({[] { return false; }, {}}));
  EXPECT_FALSE(refused.running());
  EXPECT_FALSE(refused.post([] {}));

  DisplayLink link;
  link.setPaced(false);
  std::vector<std::string> order;
  std::thread::id startThread, finishThread;
  ASSERT_TRUE(link.start({[&] {
                            startThread = std::this_thread::get_id();
                            order.push_back("start");
                            return true;
                          },
                          [&] {
                            finishThread = std::this_thread::get_id();
                            order.push_back("finish");
                          }}));
  link.post([&] { order.push_back("task"); });
  link.stop();
  EXPECT_EQ(order, (std::vector<std::string>{"start", "task", "finish"}));
  EXPECT_EQ(startThread, finishThread);
  EXPECT_NE(startThread, std::this_thread::get_id());
}

TEST(DisplayLink, ExceptionsAreLoggedAndTheLinkGoesOn) {
  Log::resetLimits();
  LogCapture log;
  DisplayLink link;
  link.setPaced(false);
  int frames = 0;
  link.setCallback([&](const DisplayLink::Frame&) {
    if (++frames == 1) throw std::runtime_error("boom");
  });
  ASSERT_TRUE(link.start());
  ASSERT_TRUE(link.invokeAndWait([] { throw std::runtime_error("task boom"); }));
  ASSERT_TRUE(link.frameNow());
  ASSERT_TRUE(link.frameNow());
  EXPECT_EQ(frames, 2);
  EXPECT_TRUE(link.running());
  const QString text = log.lines().join('\n');
  EXPECT_TRUE(text.contains("boom"));
  EXPECT_TRUE(text.contains("task boom"));
}

TEST(DisplayLink, InvokeAndWaitFromTheLinkThreadRunsInline) {
  DisplayLink link;
  link.setPaced(false);
  ASSERT_TRUE(link.start());
  bool inner = false;
  ASSERT_TRUE(link.invokeAndWait([&] { EXPECT_TRUE(link.invokeAndWait([&] { inner = true; })); }));
  EXPECT_TRUE(inner);
}

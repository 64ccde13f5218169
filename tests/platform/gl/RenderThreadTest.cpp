#include "platform/gl/RenderThread.h"

#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/GLObject.h"
#include "platform/gl/PresentingWindow.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/TextureReader.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/Eventually.h"
#include "tests/support/GLTest.h"
#include "tests/support/HangWatchdog.h"
#include "tests/support/LogCapture.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QImage>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using gl::RenderThread;

class RenderThreadTest : public GLTest {};

TEST_F(RenderThreadTest, FramesRunHandlersInOrderThenTheFrameEndHooks) {
  RenderThread& thread = RenderThread::instance();
  std::vector<std::string> order;
  bool mainCurrent = false;
  const int a = thread.addFrameHandler([&](const gl::DisplayLink::Frame&) {
    mainCurrent = gl::GLContext::current() == thread.mainContext();
    order.push_back("a");
  });
  const int b =
      thread.addFrameHandler([&](const gl::DisplayLink::Frame&) { order.push_back("b"); });
  const int hook = thread.addFrameEndHook([&] { order.push_back("purge"); });
  ASSERT_TRUE(thread.runFrameNow());
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "purge"}));
  EXPECT_TRUE(mainCurrent);
  EXPECT_FALSE(thread.rendererName().isEmpty());

  thread.removeFrameHandler(a);
  thread.removeFrameEndHook(hook);
  order.clear();
  ASSERT_TRUE(thread.runFrameNow());
  EXPECT_EQ(order, (std::vector<std::string>{"b"}));
  thread.removeFrameHandler(b);
}

TEST_F(RenderThreadTest, AThrowingHandlerIsLoggedAndTheFrameGoesOn) {
  RenderThread& thread = RenderThread::instance();
  LogCapture log;
  bool secondRan = false;
  const int throwing = thread.addFrameHandler(
      [](const gl::DisplayLink::Frame&) { throw std::runtime_error("bad frame"); });
  const int second =
      thread.addFrameHandler([&](const gl::DisplayLink::Frame&) { secondRan = true; });
  EXPECT_TRUE(thread.runFrameNow());
  thread.removeFrameHandler(throwing);
  thread.removeFrameHandler(second);
  EXPECT_TRUE(secondRan);
  EXPECT_TRUE(log.contains("caught exception in displaylink callback: bad frame"));
}

TEST_F(RenderThreadTest, GLObjectsGivenUpOnAnotherThreadAreDeletedOnTheRenderThreadAfterAFrame) {
  RenderThread& thread = RenderThread::instance();
  GLuint name = 0;
  std::unique_ptr<gl::GLObject> texture;
  onRenderThread([&] {
    gl::GLContext* context = gl::GLContext::current();
    context->functions().glGenTextures(1, &name);
    context->functions().glBindTexture(GL_TEXTURE_2D, name);
    context->functions().glBindTexture(GL_TEXTURE_2D, 0);
    texture = std::make_unique<gl::GLObject>(gl::GLObject::Kind::Texture, name,
                                             context->shareGroupLifetime());
  });
  texture.reset();  // main thread: no context here
  bool stillThere = false;
  onRenderThread([&] { stillThere = gl::GLContext::current()->functions().glIsTexture(name); });
  EXPECT_TRUE(stillThere) << "deleted only after the next frame";
  ASSERT_TRUE(thread.runFrameNow());
  onRenderThread([&] { stillThere = gl::GLContext::current()->functions().glIsTexture(name); });
  EXPECT_FALSE(stillThere);
}

TEST_F(RenderThreadTest, PostedWorkRunsBetweenFramesWithTheMainContextCurrent) {
  RenderThread& thread = RenderThread::instance();
  std::atomic<bool> ran{false};
  std::atomic<bool> current{false};
  ASSERT_TRUE(thread.post([&] {
    current = gl::GLContext::current() == thread.mainContext();
    ran = true;
  }));
  ASSERT_TRUE(thread.invokeAndWait([] {}));
  EXPECT_TRUE(ran.load());
  EXPECT_TRUE(current.load());
  EXPECT_FALSE(RenderThread::isRenderThread());
}

TEST_F(RenderThreadTest, StopEndsTheThreadAndAStoppedThreadRefusesWork) {
  RenderThread& thread = RenderThread::instance();
  int purges = 0;
  const int hook = thread.addFrameEndHook([&] { ++purges; });
  thread.stop();
  thread.removeFrameEndHook(hook);
  EXPECT_EQ(purges, 1) << "a last purge at stop";
  EXPECT_FALSE(thread.isRunning());
  EXPECT_FALSE(thread.post([] {}));
  EXPECT_FALSE(thread.invokeAndWait([] {}));
}

// A handler removed on another thread while the thread is stopping (posted
// work refused) must not run once the removal has returned: the removal
// waits for the frame in progress in every state of the thread.
TEST_F(RenderThreadTest, RemovalWaitsForTheFrameInProgressWhileTheThreadStops) {
  RenderThread& thread = RenderThread::instance();
  HangWatchdog watchdog("removing a handler while the render thread stops", 60.0);
  for (int round = 0; round < 3; ++round) {
    if (!thread.isRunning()) ASSERT_TRUE(thread.start(RenderThread::Options{false, 0.0}));
    std::atomic<bool> entered{false}, proceed{false}, removed{false}, ranAfterRemoval{false};
    const int id = thread.addFrameHandler([&](const gl::DisplayLink::Frame&) {
      entered = true;
      waitFor([&] { return proceed.load(); }, 10.0);
      if (removed) ranAfterRemoval = true;
    });
    std::thread frame([&] { thread.runFrameNow(); });
    ASSERT_TRUE(waitFor([&] { return entered.load(); }));
    std::thread remover;
    std::thread stopping([&] {
      while (thread.post([] {})) std::this_thread::yield();  // until the stop has begun
      remover = std::thread([&] {
        thread.removeFrameHandler(id);
        removed = true;
      });
      // A removal that does not wait has returned by now.
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      proceed = true;
    });
    thread.stop();  // main thread; ends after the frame
    stopping.join();
    remover.join();
    frame.join();
    EXPECT_TRUE(removed);
    EXPECT_FALSE(ranAfterRemoval) << "round " << round;
  }
}

TEST_F(RenderThreadTest, APresentingWindowShowsTexturesOfTheMainContext) {
  gl::PresentingWindow window;
  window.resize(64, 48);
  window.show();
  ASSERT_TRUE(MainThread::processUntil([&] { return window.exposedForDrawing(); }, 5.0));
  QColor seen;
  bool presented = false;
  onRenderThread([&] {
    gl::TextureHandle red = solidTexture(QSize(4, 4), QColor(255, 0, 0));  // main context
    gl::GLContext* context = window.beginFrame();
    ASSERT_NE(context, nullptr);
    ASSERT_NE(context, RenderThread::instance().mainContext());
    gl::QuadShader::forCurrentContext()->drawUpright(red, QRectF(0, 0, 64, 48));
    QImage pixel(1, 1, QImage::Format_RGBA8888);
    context->functions().glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.bits());
    seen = pixel.pixelColor(0, 0);
    window.endFrame();
    EXPECT_EQ(gl::GLContext::current(), RenderThread::instance().mainContext());
    presented = window.present(red);
  });
  EXPECT_TRUE(near(seen, QColor(255, 0, 0)));
  EXPECT_TRUE(presented);
  EXPECT_EQ(window.presentedCount(), 2u);
}

TEST_F(RenderThreadTest, AHiddenWindowIsNotDrawn) {
  gl::PresentingWindow window;
  window.resize(32, 32);
  bool presented = true;
  onRenderThread([&] { presented = window.present(gl::TextureHandle()); });
  EXPECT_FALSE(presented);
}

// Web pages need contexts shared with Qt's global one (set before the
// application object, as in ZAPH's main): ours must keep their own format
// and share group all the same.
TEST_F(RenderThreadTest, TheMainContextStaysApartFromTheGlobalSharedContext) {
  ASSERT_TRUE(QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));
  QOpenGLContext* global = QOpenGLContext::globalShareContext();
  QSurfaceFormat format;
  bool apart = false;
  onRenderThread([&] {
    QOpenGLContext* main = gl::GLContext::current()->qtContext();
    format = main->format();
    apart = !global || main->shareGroup() != global->shareGroup();
  });
  EXPECT_EQ(format.profile(), QSurfaceFormat::CoreProfile);
  EXPECT_GE(format.version(), qMakePair(3, 3));
  EXPECT_TRUE(apart);
}

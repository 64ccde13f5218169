// The composition render context with a fake renderer factory: when the
// renderer is made, the clock, file changes and what is refused.
#include "framework/render/DeferredReleaseArrays.h"
#include "framework/render/QKBufferHolder.h"
#include "framework/render/QKQCGLContext.h"
#include "tests/framework/render/CompositionFixtures.h"
#include "tests/framework/render/FakeRenderer.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <cmath>
#include <thread>

using namespace CompositionFixtures;
using Compositing = composition::QCRenderer::Compositing;

class CompositionContextTest : public GLTest {
 protected:
  std::shared_ptr<QKQCGLContext> makeContext(const QString& path) {
    auto context = QKQCGLContext::create(path, gl::RenderThread::instance().mainContext(),
                                         &gl::TexturePool::shared(), QSizeF(2, 2), factory_,
                                         clock_.function());
    context->setPBufferRef(buffer_->bufferRef());
    return context;
  }
  // The output of the last draw, top row first; null without one.
  QImage output(QKQCGLContext& context) {
    return context.textureRef() ? read(context.textureRef()) : QImage();
  }

  QString dir_ = TestEnvironment::makeTempDir(QStringLiteral("comp"));
  QString first_ = write(dir_, QStringLiteral("first.qtz"), compModeFile());
  QString second_ = write(dir_, QStringLiteral("second.qtz"),
                          fileWithState(stateWithInputs({QStringLiteral("inputImage")})));
  std::shared_ptr<FakeRendererFactory> factory_ = std::make_shared<FakeRendererFactory>();
  ManualClock clock_;
  QKBufferHolderPtr buffer_ = QKBufferHolder::create(QSizeF(2, 2));
};

TEST_F(CompositionContextTest, TheRendererAndItsClockStartAtTheFirstRender) {
  auto context = makeContext(first_);
  EXPECT_EQ(context->rendererPath(), first_);
  ASSERT_TRUE(context->composition());
  EXPECT_EQ(context->composition()->inputKeys().size(), 3);
  onRenderThread([&] {
    context->draw();  // before the first render: not set up, nothing drawn
    EXPECT_TRUE(context->textureRef().isNull());
    EXPECT_FALSE(context->renderer());
  });
  EXPECT_EQ(factory_->makeCalls, 0);

  clock_.now = 200;
  onRenderThread([&] { context->render(); });
  ASSERT_EQ(factory_->makeCalls, 1);
  clock_.now = 201.5;
  onRenderThread([&] {
    context->draw();
    EXPECT_TRUE(near(output(*context).pixelColor(1, 1), QColor(0, 0, 0, 255))) << "opaque black";
    context->render();  // a later render keeps the renderer and its clock
    clock_.now = 202;
    context->drawToTransparentBG();
    EXPECT_EQ(output(*context).pixelColor(0, 0).alpha(), 0) << "transparent black";
  });
  std::shared_ptr<FakeRenderer> renderer = factory_->last();
  ASSERT_TRUE(renderer);
  EXPECT_EQ(factory_->makeCalls, 1);
  EXPECT_EQ(renderer->times, (std::vector<double>{1.5, 2.0}));
  EXPECT_EQ(renderer->compositings,
            (std::vector<Compositing>{Compositing::Over, Compositing::Replace}));
}

TEST_F(CompositionContextTest, ATimeBeforeTheStartOrNotANumberRendersAtZero) {
  auto context = makeContext(first_);
  onRenderThread([&] { context->render(); });
  for (double now : {99.0, std::nan("")}) {
    clock_.now = now;
    onRenderThread([&] { context->draw(); });
  }
  EXPECT_EQ(factory_->last()->times, (std::vector<double>{0.0, 0.0}));
}

TEST_F(CompositionContextTest, UseFileRestartsTheClockWithANewRendererEvenForTheSameFile) {
  auto context = makeContext(first_);
  onRenderThread([&] { context->render(); });
  for (const QString& path : {first_, second_}) {
    std::weak_ptr<FakeRenderer> old = factory_->last();
    clock_.now = clock_.now + 10;
    context->useFile(path);  // main thread
    EXPECT_EQ(context->rendererPath(), path);
    onRenderThread([&] {
      context->render();
      EXPECT_FALSE(old.expired()) << "handed to the deferred-release arrays, not released";
      clock_.now = clock_.now + 0.25;
      context->draw();
    });
    EXPECT_NE(factory_->last(), old.lock());
    EXPECT_EQ(factory_->last()->times, std::vector<double>{0.25});
    ASSERT_TRUE(gl::RenderThread::instance().runFrameNow());
    EXPECT_TRUE(old.expired());
  }
}

TEST_F(CompositionContextTest, AFileChangeWithoutATimerResetKeepsTheCompositionsTime) {
  const struct {
    bool resetTimer;
    double time;
  } cases[] = {{true, 0.5}, {false, 10.5}};
  for (const auto& c : cases) {
    auto context = makeContext(first_);
    clock_.now = 100;
    onRenderThread([&] { context->render(); });
    clock_.now = 110;
    context->useFile(second_, c.resetTimer);
    onRenderThread([&] {
      context->render();
      clock_.now = 110.5;
      context->draw();
    });
    EXPECT_EQ(factory_->last()->times, std::vector<double>{c.time}) << c.resetTimer;
  }
}

TEST_F(CompositionContextTest, TheRenderThreadsCompositionOutlivesAFileChangeUntilItsNextRender) {
  auto context = makeContext(first_);
  onRenderThread([&] { context->render(); });
  std::weak_ptr<const QKQCComposition> playing = context->composition();
  context->useFile(second_);
  EXPECT_FALSE(playing.expired()) << "the render thread still plays it";
  onRenderThread([&] { context->render(); });
  EXPECT_TRUE(playing.expired());
}

TEST_F(CompositionContextTest, FileChangesWhileTheRenderThreadPlaysAreSafe) {
  auto context = makeContext(first_);
  std::atomic<bool> done{false};
  std::thread frames([&] {
    while (!done) {
      gl::RenderThread::instance().invokeAndWait([&] {
        context->render();
        if (context->renderer()) context->renderer()->setNumber(QStringLiteral("opacity"), 1);
        context->draw();
      });
    }
  });
  for (int i = 0; i < 200; ++i) {
    context->useFile(i % 2 ? first_ : second_);
    EXPECT_FALSE(context->rendererPath().isEmpty());
    EXPECT_TRUE(context->composition());
  }
  done = true;
  frames.join();
}

TEST_F(CompositionContextTest, UnusableFilesLeaveTheContextIdle) {
  const QString live = write(
      dir_, QStringLiteral("live.qtz"),
      fileWithState({{QStringLiteral("nodes"),
                      QVariantList{node(QStringLiteral("v"), QStringLiteral("QCVideoInput"))}}}));
  struct Case {
    const char* name;
    QString path;
    bool refuseLoad;
    QStringList log;
  };
  const Case cases[] = {
      {"unreadable",
       dir_ + QStringLiteral("/missing.qtz"),
       false,
       {QStringLiteral("\t\terr: composition was nil")}},
      {"live video input", live, false, {}},
      {"refused by the runtime", first_, true, {}},
      {"no file", QString(), false, {}},
  };
  for (const Case& c : cases) {
    factory_->refuseLoad = c.refuseLoad;
    LogCapture log;
    auto context = makeContext(c.path);
    EXPECT_FALSE(context->composition()) << c.name;
    onRenderThread([&] {
      context->render();
      context->draw();
      EXPECT_FALSE(context->renderer()) << c.name;
      EXPECT_TRUE(context->textureRef().isNull()) << c.name;
    });
    EXPECT_EQ(log.lines().filter(QStringLiteral("composition was nil")), c.log) << c.name;
  }
  EXPECT_EQ(factory_->makeCalls, 0);
}

TEST_F(CompositionContextTest, ARendererThatCannotBeMadeIsNotAskedForEveryFrame) {
  factory_->failMake = true;
  auto context = makeContext(first_);
  onRenderThread([&] {
    for (int frame = 0; frame < 3; ++frame) {
      context->render();
      context->draw();
    }
    EXPECT_TRUE(near(output(*context).pixelColor(0, 0), QColor(0, 0, 0, 255)));
  });
  EXPECT_EQ(factory_->makeCalls, 1);
  factory_->failMake = false;
  context->useFile(first_);  // a new file (even the same) tries again
  onRenderThread([&] { context->render(); });
  EXPECT_EQ(factory_->makeCalls, 2);
}

TEST_F(CompositionContextTest, ADeletedContextIgnoresFilesAndHandsItsRendererOver) {
  auto context = makeContext(first_);
  onRenderThread([&] { context->render(); });
  std::weak_ptr<FakeRenderer> renderer = factory_->last();
  context->prepareToBeDeleted();
  context->useFile(second_);
  EXPECT_EQ(context->rendererPath(), first_);
  const std::size_t before = DeferredReleaseArrays::shared().pendingRenderers();
  context.reset();  // main thread
  EXPECT_FALSE(renderer.expired());
  EXPECT_GT(DeferredReleaseArrays::shared().pendingRenderers(), before);
  ASSERT_TRUE(gl::RenderThread::instance().runFrameNow());
  EXPECT_TRUE(renderer.expired());
}

TEST_F(CompositionContextTest, TheRuntimeDrawsStraightColourOverEitherBackground) {
  // The real renderer: the foreground image, half transparent, as it is.
  const QString path = write(dir_, QStringLiteral("fg.qtz"), playableCompModeFile(R"(
uniform sampler2D foreground;
uniform sampler2D background;
uniform float opacity;
vec4 shaderMain() { return foreground_sample(texCoord) * vec4(1.0, 1.0, 1.0, opacity); }
)"));
  auto context =
      QKQCGLContext::create(path, gl::RenderThread::instance().mainContext(),
                            &gl::TexturePool::shared(), QSizeF(2, 2), nullptr, clock_.function());
  context->setPBufferRef(buffer_->bufferRef());
  QImage transparent, opaque;
  onRenderThread([&] {
    context->render();
    ASSERT_TRUE(context->renderer());
    context->renderer()->setImage(QStringLiteral("foreground"),
                                  solidTexture(QSize(2, 2), QColor(200, 100, 40, 128)));
    context->renderer()->setNumber(QStringLiteral("opacity"), 1.0);
    context->drawToTransparentBG();
    transparent = output(*context);
    context->render();
    context->draw();
    opaque = output(*context);
  });
  EXPECT_TRUE(near(transparent.pixelColor(0, 1), QColor(200, 100, 40, 128)))
      << "straight colour, its alpha applied once";
  EXPECT_TRUE(near(opaque.pixelColor(1, 0), QColor(100, 50, 20, 255))) << "over opaque black";
}

#include "FakeLayers.h"

#include "app/compositor/Compositor.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKSTap.h"
#include "framework/taps/QKTapManager.h"
#include "platform/gl/RenderThread.h"
#include "platform/image/ImageContext.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

namespace {

constexpr QSize kCanvas(8, 8);

Compositor::Environment quietEnvironment() {
  Compositor::Environment environment;
  environment.gpuVendors = {"NVIDIA"};
  return environment;
}

// A compositor with an 8 x 8 canvas shown 1:1, and one frame drawn into an
// 8 x 8 target on the render thread.
class FrameCompositionTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    compositor_ =
        std::make_unique<Compositor>(std::make_unique<QKTapManager>(), quietEnvironment());
    compositor_->layerSizeChangedFrom(QSizeF(), QSizeF(kCanvas));
    compositor_->canvasSizeChanged(QSizeF(kCanvas));
    compositor_->setDisplaySize(QSizeF(kCanvas));
    compositor_->setCanvasPresentationMode(2);
  }
  void TearDown() override {
    if (compositor_) compositor_->setLayerArray({});
    target_.reset();
    compositor_.reset();
    GLTest::TearDown();
  }

  std::shared_ptr<FakeLayer> layer(const QString& name, int depth = 0) {
    auto made = std::make_shared<FakeLayer>(log_, name, depth);
    return made;
  }

  // Draws one frame; answers the target's pixels (top row first).
  QImage frame() {
    QImage pixels;
    onRenderThread([&] {
      Compositor::FrameState state;
      auto locks = compositor_->tryLockForFrame(&state);
      ASSERT_TRUE(locks);
      compositor_->render(gl::DisplayLink::Frame{});
      if (!target_) target_ = std::make_unique<gl::RenderTarget>();
      const gl::TextureHandle texture = gl::TexturePool::shared().acquire(kCanvas);
      target_->setProjection(gl::RenderTarget::topDownOrtho(QSizeF(kCanvas)));
      ASSERT_TRUE(target_->bind(texture));
      target_->clear(QVector4D(0, 0, 0, 1));
      image::ImageContext context;
      compositor_->drawContent(state, *target_, context);
      locks.reset();
      pixels = read(texture);
      target_->detach();
    });
    return pixels;
  }

  CallLog log_;
  std::unique_ptr<Compositor> compositor_;
  std::unique_ptr<gl::RenderTarget> target_;
};

TEST_F(FrameCompositionTest, FilterModeCompositesBottomToTopAndTheLowestLayerSkipsItsCompFilter) {
  compositor_->setContentsRenderingMode(0);
  auto top = layer("A"), middle = layer("B"), bottom = layer("C");
  compositor_->setLayerArray({top, middle, bottom});
  frame();
  EXPECT_EQ(log_.calls(),
            (QStringList{"render:A", "render:B", "render:C", "alpha:C(C,1)", "alpha:B(B,1)",
                         "comp:B(alpha:C(C,1),alpha:B(B,1))", "alpha:A(A,1)",
                         "comp:A(comp:B(alpha:C(C,1),alpha:B(B,1)),alpha:A(A,1))"}));
}

// Each case changes the middle layer B of A (top), B, C (bottom) and says
// what A's comp filter is given as background.
struct MiddleCase {
  const char* name;
  std::function<void(FakeLayer& middle, FakeLayer& bottom, CallLog& log)> change;
  QString topBackground;
};

class MiddleLayerTest : public FrameCompositionTest,
                        public ::testing::WithParamInterface<MiddleCase> {};

TEST_P(MiddleLayerTest, WhatLiesBelowTheTopLayer) {
  compositor_->setContentsRenderingMode(0);
  auto top = layer("A"), middle = layer("B"), bottom = layer("C");
  GetParam().change(*middle, *bottom, log_);
  compositor_->setLayerArray({top, middle, bottom});
  frame();
  const QStringList comps = log_.callsStartingWith("comp:A");
  ASSERT_EQ(comps.size(), 1) << log_.calls().join(" ").toStdString();
  EXPECT_EQ(comps[0], "comp:A(" + GetParam().topBackground + ",alpha:A(A,1))");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MiddleLayerTest,
    ::testing::Values(
        MiddleCase{"OpacityZeroIsSkipped",
                   [](FakeLayer& b, FakeLayer&, CallLog&) { b.opacity = 0; }, "alpha:C(C,1)"},
        MiddleCase{"NoImageIsSkipped",
                   [](FakeLayer& b, FakeLayer&, CallLog&) { b.image = image::Image(); },
                   "alpha:C(C,1)"},
        MiddleCase{"CompositionWithoutRendererReplacesWhatLiesBelow",
                   [](FakeLayer& b, FakeLayer&, CallLog& log) {
                     b.compMode = 1;
                     b.compContext = std::make_unique<FakeCompContext>(log, "B", false);
                   },
                   "B"},
        MiddleCase{"UnknownCompModeReplacesWhatLiesBelow",
                   [](FakeLayer& b, FakeLayer&, CallLog&) { b.compMode = 7; }, "B"},
        MiddleCase{"CompFilterWithoutImageKeepsTheAccumulation",
                   [](FakeLayer& b, FakeLayer&, CallLog&) { b.comp().fail = true; },
                   "alpha:C(C,1)"},
        MiddleCase{"BottomAtOpacityZeroMakesTheMiddleTheLowest",
                   [](FakeLayer&, FakeLayer& c, CallLog&) { c.opacity = 0; }, "alpha:B(B,1)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameCompositionTest, TheLowestCompositionGetsATransparentBackgroundAndBuffersRotate) {
  compositor_->setContentsRenderingMode(0);
  auto top = layer("A"), bottom = layer("C");
  for (FakeLayer* l : {top.get(), bottom.get()}) {
    l->compMode = 1;
    l->compContext = std::make_unique<FakeCompContext>(log_, l->layerName());
  }
  compositor_->setLayerArray({top, bottom});
  frame();
  const QStringList renders = log_.callsStartingWith("qc:render");
  ASSERT_EQ(renders.size(), 2);
  EXPECT_EQ(renders[0], "qc:render(background=?,foreground=C,opacity=1)");
  EXPECT_EQ(renders[1], "qc:render(background=qc:C,foreground=A,opacity=1)");
  ASSERT_EQ(bottom->compContext->buffers_.size(), 1);
  ASSERT_EQ(top->compContext->buffers_.size(), 1);
  EXPECT_NE(bottom->compContext->buffers_[0], top->compContext->buffers_[0]);
}

TEST_F(FrameCompositionTest, GLModeDrawsBottomToTopAfterTheCaptureAndTheTapPassDeepestFirst) {
  FakeCapture capture(log_);
  compositor_->setCaptureRenderer(&capture);
  auto top = layer("A", 0), deep = layer("B", 2), mid = layer("C", 1);
  compositor_->setLayerArray({top, deep, mid});
  std::vector<std::shared_ptr<QKSTap>> sources;
  std::vector<std::shared_ptr<QKRTap>> receivers;
  // QKTapManager::announce reaches the compositor's manager by notification.
  for (FakeLayer* l : {top.get(), deep.get(), mid.get()}) {
    sources.push_back(QKSTap::create(l));
    receivers.push_back(QKRTap::create());
    receivers.back()->useTapNamed(l->layerName());
  }
  FakePreview preview(log_, "preview"), inspector(log_, "inspector");
  compositor_->registerNewPreviewWindow(&preview);
  compositor_->setMediaInspector(&inspector);
  frame();
  EXPECT_EQ(log_.calls(),
            (QStringList{"capture", "render:A", "render:B", "render:C", "buffer:B", "buffer:C",
                         "buffer:A", "gl:C", "gl:B", "gl:A", "draw:preview", "draw:inspector"}));
  EXPECT_EQ(capture.locks.load(), 0);
  for (auto& s : sources) s->prepareToBeDeleted();
  for (auto& r : receivers) r->prepareToBeDeleted();
  compositor_->setMediaInspector(nullptr);
  compositor_->removeRegisteredPreviewWindow(&preview);
  compositor_->setCaptureRenderer(nullptr);
}

TEST_F(FrameCompositionTest, NoLayersLeaveTheCanvasBlackAndPreviewsStillDraw) {
  FakePreview preview(log_, "preview");
  compositor_->registerNewPreviewWindow(&preview);
  for (int mode : {0, 1}) {
    compositor_->setContentsRenderingMode(mode);
    log_.clear();
    const QImage pixels = frame();
    EXPECT_TRUE(near(pixels.pixelColor(4, 4), Qt::black));
    EXPECT_EQ(log_.calls(), QStringList{"draw:preview"});
  }
  compositor_->removeRegisteredPreviewWindow(&preview);
}

TEST_F(FrameCompositionTest, FilterModeWithoutACanvasBufferDrawsNothingThatFrame) {
  LogCapture capture;
  compositor_->setContentsRenderingMode(0);
  compositor_->layerSizeChangedFrom(QSizeF(kCanvas), QSizeF());
  FakePreview preview(log_, "preview");
  compositor_->registerNewPreviewWindow(&preview);
  frame();
  EXPECT_TRUE(log_.calls().isEmpty());
  EXPECT_TRUE(capture.contains("\t\terr: layer sizeDict was nil"));
  compositor_->removeRegisteredPreviewWindow(&preview);
}

// --- Pixels ----------------------------------------------------------------------------------

struct BlendCase {
  const char* name;
  GLenum source, destination;
  QColor expected;  // of half-opaque red over opaque blue
};

class GLBlendTest : public FrameCompositionTest, public ::testing::WithParamInterface<BlendCase> {};

TEST_P(GLBlendTest, TwoQuadsBlendAsTheirCompModeSays) {
  auto top = layer("A"), bottom = layer("B");
  bottom->colour = QColor(0, 0, 255);
  top->colour = QColor(255, 0, 0, 128);
  top->blendSource = GetParam().source;
  top->blendDestination = GetParam().destination;
  compositor_->setLayerArray({top, bottom});
  const QImage pixels = frame();
  EXPECT_TRUE(near(opaque(pixels.pixelColor(3, 3)), GetParam().expected, 3));
}

INSTANTIATE_TEST_SUITE_P(Modes, GLBlendTest,
                         ::testing::Values(BlendCase{"OpenGLAdd", GL_SRC_ALPHA, GL_DST_ALPHA,
                                                     QColor(128, 0, 255)},
                                           BlendCase{"OpenGLOver", GL_SRC_ALPHA,
                                                     GL_ONE_MINUS_SRC_ALPHA, QColor(128, 0, 127)}),
                         [](const auto& info) { return std::string(info.param.name); });

// A real compositing filter through the filter path: half-opaque red over
// opaque blue with "CISourceOverCompositing".
TEST_F(FrameCompositionTest, FilterModeDrawsThroughACompositingFilter) {
  compositor_->setContentsRenderingMode(0);
  auto top = std::make_shared<PixelLayer>(log_, "A", QColor(255, 0, 0, 128));
  auto bottom = std::make_shared<PixelLayer>(log_, "B", QColor(0, 0, 255));
  compositor_->setLayerArray({top, bottom});
  const QImage pixels = frame();
  EXPECT_TRUE(near(opaque(pixels.pixelColor(3, 3)), QColor(128, 0, 127), 3));
}

}  // namespace

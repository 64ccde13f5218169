// The wet/dry mixer: the opacity split, blend and filter pixels against the
// blend equations worked on the CPU, the mode state machine and snapshots.
#include "framework/render/DeferredReleaseArrays.h"
#include "framework/render/QCUtils.h"
#include "framework/render/QKBufferHolder.h"
#include "framework/render/QKCIGLContext.h"
#include "framework/render/QKGL2LayerContext.h"
#include "framework/render/QKQCGLContext.h"
#include "framework/render/WetDryContext.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/RenderTarget.h"
#include "tests/framework/render/CompositionFixtures.h"
#include "tests/framework/render/FakeRenderer.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

using namespace CompositionFixtures;

namespace {

gl::GLContext* mainContext() { return gl::RenderThread::instance().mainContext(); }

// Straight RGBA in 0…1.
struct Rgba {
  double r, g, b, a;
};

Rgba toRgba(const QColor& c) { return {c.redF(), c.greenF(), c.blueF(), c.alphaF()}; }
QColor toColor(const Rgba& c) {
  const auto byte = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return QColor(byte(c.r), byte(c.g), byte(c.b), byte(c.a));
}

// One GL blend of `source` (its alpha multiplied by `opacity`, as the quad
// colour does) onto `target` with (GL_SRC_ALPHA, destination factor).
Rgba blend(const Rgba& target, Rgba source, double opacity, GLenum destination) {
  source.a *= opacity;
  const double d = destination == GL_ONE                   ? 1.0
                   : destination == GL_DST_ALPHA           ? target.a
                   : destination == GL_ONE_MINUS_SRC_ALPHA ? 1.0 - source.a
                                                           : 0.0;
  const auto mix = [&](double s, double t) { return std::clamp(s * source.a + t * d, 0.0, 1.0); };
  return {mix(source.r, target.r), mix(source.g, target.g), mix(source.b, target.b),
          mix(source.a, target.a)};
}

// Source atop in straight alpha: the image over the background where the
// background is.
Rgba sourceAtop(const Rgba& s, const Rgba& b) {
  const double a = b.a;
  if (a <= 0) return {0, 0, 0, 0};
  const auto channel = [&](double sc, double bc) {
    return (sc * s.a * b.a + bc * b.a * (1 - s.a)) / a;
  };
  return {channel(s.r, b.r), channel(s.g, b.g), channel(s.b, b.b), a};
}

Rgba withAlpha(Rgba c, double opacity) {
  c.a *= opacity;
  return c;
}

// 2 × 2 pictures, top row first, with half-transparent pixels so that an
// alpha applied twice shows.
QImage picture(const QColor (&pixels)[4]) {
  QImage image(2, 2, QImage::Format_RGBA8888);
  for (int i = 0; i < 4; ++i) image.setPixelColor(i % 2, i / 2, pixels[i]);
  return image;
}
const QColor kDry[4] = {QColor(200, 40, 40, 255), QColor(40, 200, 40, 128),
                        QColor(40, 40, 200, 255), QColor(255, 255, 255, 60)};
const QColor kWet[4] = {QColor(10, 10, 250, 255), QColor(250, 250, 10, 200),
                        QColor(120, 0, 120, 64), QColor(0, 0, 0, 255)};

// A texture of the picture whose first row is its bottom, as a render
// leaves it (the wet image comes from an effect's render).
gl::TextureHandle renderedTexture(const QImage& image) {
  return GLTest::imageTexture(image.mirrored(false, true)).withFlipped(false);
}

}  // namespace

TEST(WetDrySplit, OpacitiesFollowTheAmount) {
  struct Case {
    float w, wet, dry;
  };
  const Case cases[] = {{0.0f, 0.0f, 1.0f},  {0.25f, 0.5f, 1.0f}, {0.5f, 1.0f, 1.0f},
                        {0.75f, 1.0f, 0.5f}, {1.0f, 1.0f, 0.0f},  {0.501f, 1.0f, 0.998f}};
  for (const Case& c : cases) {
    const QKGL2LayerContext::Opacities o = QKGL2LayerContext::opacitiesFor(c.w);
    EXPECT_FLOAT_EQ(o.wet, c.wet) << c.w;
    EXPECT_FLOAT_EQ(o.dry, c.dry) << c.w;
  }
}

class WetDryMixerTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    Paths::setResourcesDirOverride(resources_);
    Paths::setUserDataDirOverride(TestEnvironment::makeTempDir(QStringLiteral("data")));
  }
  void TearDown() override {
    Paths::setResourcesDirOverride({});
    Paths::setUserDataDirOverride({});
    GLTest::TearDown();
  }

  std::shared_ptr<WetDryContext> makeMixer() {
    return WetDryContext::create(mainContext(), &gl::TexturePool::shared(), QSizeF(2, 2));
  }

  // One frame of the mixer at `w` over the two pictures; the result, top
  // row first (null image when nothing was drawn).
  QImage mix(WetDryContext& mixer, float w) {
    QImage out;
    onRenderThread([&] {
      auto buffer = QKBufferHolder::create(QSizeF(2, 2));
      mixer.setWetDryValue(w);
      mixer.setFrontTextureRef(renderedTexture(picture(kWet)));
      mixer.setBackTextureRef(imageTexture(picture(kDry)));
      mixer.setPBufferRef(buffer->bufferRef());
      mixer.render();
      mixer.draw();
      if (mixer.textureRef()) out = read(mixer.textureRef());
    });
    return out;
  }

  // The shipped resources of the test: the kernels, and comp modes a test
  // writes.
  QString resources_ = [] {
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("res"));
    const QString kernels = Paths::resourcesDir() + QStringLiteral("/kernels");
    QFile::link(kernels, dir + QStringLiteral("/kernels"));
    return dir;
  }();
};

TEST_F(WetDryMixerTest, BlendModeDrawsWhatTheBlendEquationsGive) {
  struct Case {
    float w;
    GLenum dFactor;
  };
  const Case cases[] = {{0.0f, GL_ONE_MINUS_SRC_ALPHA}, {0.5f, GL_ONE_MINUS_SRC_ALPHA},
                        {1.0f, GL_ONE_MINUS_SRC_ALPHA}, {0.25f, GL_ONE_MINUS_SRC_ALPHA},
                        {0.5f, GL_DST_ALPHA},           {0.75f, GL_DST_ALPHA}};
  auto mixer = makeMixer();
  for (const Case& c : cases) {
    mixer->useGLCompMode(c.dFactor);
    const QImage out = mix(*mixer, c.w);
    ASSERT_FALSE(out.isNull());
    const QKGL2LayerContext::Opacities o = QKGL2LayerContext::opacitiesFor(c.w);
    for (int i = 0; i < 4; ++i) {
      Rgba expected = blend({0, 0, 0, 0}, toRgba(kDry[i]), o.dry, GL_ONE);
      expected = blend(expected, toRgba(kWet[i]), o.wet, c.dFactor);
      EXPECT_TRUE(near(out.pixelColor(i % 2, i / 2), toColor(expected), 3))
          << "w " << c.w << " factor " << c.dFactor << " pixel " << i;
    }
  }
}

TEST_F(WetDryMixerTest, BlendModeDrawsTheTextureThatIsThereAndLogsTheOther) {
  Log::resetLimits();
  LogCapture log;
  auto mixer = makeMixer();
  QImage out;
  onRenderThread([&] {
    auto buffer = QKBufferHolder::create(QSizeF(2, 2));
    mixer->setWetDryValue(0.5f);
    mixer->setBackTextureRef(imageTexture(picture(kDry)));
    mixer->setPBufferRef(buffer->bufferRef());
    mixer->render();
    mixer->draw();
    out = read(mixer->textureRef());
  });
  EXPECT_TRUE(near(out.pixelColor(0, 0), toColor(blend({0, 0, 0, 0}, toRgba(kDry[0]), 1, GL_ONE))));
  EXPECT_TRUE(log.lines().contains(QStringLiteral("\t\terr: front texture was null")));
}

TEST_F(WetDryMixerTest, FilterModeFadesBothAndCompositesThemInTheEngine) {
  auto mixer = makeMixer();
  mixer->useCICompMode(WetDryContext::kDefaultCIFilterName);
  ASSERT_TRUE(std::dynamic_pointer_cast<QKCIGLContext>(mixer->compContext()));
  for (float w : {0.0f, 0.5f, 1.0f, 0.75f}) {
    const QImage out = mix(*mixer, w);
    ASSERT_FALSE(out.isNull());
    const QKGL2LayerContext::Opacities o = QKGL2LayerContext::opacitiesFor(w);
    for (int i = 0; i < 4; ++i) {
      const Rgba expected =
          sourceAtop(withAlpha(toRgba(kWet[i]), o.wet), withAlpha(toRgba(kDry[i]), o.dry));
      EXPECT_TRUE(near(out.pixelColor(i % 2, i / 2), toColor(expected), 3))
          << "w " << w << " pixel " << i;
    }
  }
}

TEST_F(WetDryMixerTest, FilterModeWithOneImageDrawsItAtItsOpacity) {
  auto mixer = makeMixer();
  mixer->useCICompMode(WetDryContext::kDefaultCIFilterName);
  QImage out;
  onRenderThread([&] {
    auto buffer = QKBufferHolder::create(QSizeF(2, 2));
    // The owner's texture is a rectangle one: the mixer hands the engine a
    // 2D copy.
    gl::TextureHandle rectangle =
        gl::TexturePool::shared().acquire(QSize(2, 2), gl::TextureTarget::Rectangle);
    gl::RenderTarget fill;
    ASSERT_TRUE(fill.bind(rectangle));
    fill.clear(QVector4D(0.2f, 0.4f, 0.6f, 0.8f));
    fill.detach();
    mixer->setWetDryValue(0.75f);
    mixer->setBackTextureRef(rectangle.withFlipped(false));
    mixer->setPBufferRef(buffer->bufferRef());
    mixer->render();
    mixer->draw();
    ASSERT_TRUE(mixer->textureRef());
    out = read(mixer->textureRef());
  });
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(near(out.pixelColor(i % 2, i / 2), QColor(51, 102, 153, 102), 3)) << i;
}

TEST_F(WetDryMixerTest, AFilterTheEngineLacksDrawsNothing) {
  auto mixer = makeMixer();
  mixer->useCICompMode(QStringLiteral("CINoSuchCompositing"));
  EXPECT_EQ(mixer->CIFilterName(), QStringLiteral("CINoSuchCompositing"));
  EXPECT_TRUE(mix(*mixer, 0.5f).isNull());
}

TEST_F(WetDryMixerTest, EveryModeChangeMakesANewContextAndHandsTheOldOneOver) {
  auto mixer = makeMixer();
  ASSERT_TRUE(std::dynamic_pointer_cast<QKGL2LayerContext>(mixer->compContext()));
  const std::size_t before = DeferredReleaseArrays::shared().pendingRenderers();
  std::weak_ptr<QKGLContext> first = mixer->compContext();

  mixer->useGLCompMode(GL_DST_ALPHA);  // already blend mode: same context, new factor
  EXPECT_EQ(mixer->compContext(), first.lock());
  EXPECT_EQ(std::dynamic_pointer_cast<QKGL2LayerContext>(mixer->compContext())->dFactor(),
            GLenum(GL_DST_ALPHA));

  mixer->setContentsRenderingMode(0);
  EXPECT_TRUE(std::dynamic_pointer_cast<QKCIGLContext>(mixer->compContext()));
  EXPECT_FALSE(first.expired()) << "waits in the deferred-release array";
  EXPECT_EQ(DeferredReleaseArrays::shared().pendingRenderers(), before + 1);
  mixer->setContentsRenderingMode(0);  // unchanged: nothing made
  EXPECT_EQ(DeferredReleaseArrays::shared().pendingRenderers(), before + 1);

  // Back to blend mode: a new two-layer context with its own default
  // factor, while the mixer keeps the one chosen.
  mixer->setContentsRenderingMode(1);
  auto blend = std::dynamic_pointer_cast<QKGL2LayerContext>(mixer->compContext());
  ASSERT_TRUE(blend);
  EXPECT_NE(blend, first.lock());
  EXPECT_EQ(blend->dFactor(), GLenum(GL_ONE_MINUS_SRC_ALPHA));
  EXPECT_EQ(mixer->dFactor(), GLenum(GL_DST_ALPHA));
  mixer->useGLCompMode(GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_EQ(blend->dFactor(), GLenum(GL_ONE_MINUS_SRC_ALPHA));

  ASSERT_TRUE(gl::RenderThread::instance().runFrameNow());
  EXPECT_TRUE(first.expired());
}

TEST_F(WetDryMixerTest, SnapshotsKeepTheModeTheNamesAndTheFactor) {
  auto mixer = makeMixer();
  const QVariantMap fresh = mixer->createSnapshot();
  EXPECT_EQ(fresh.value(WetDryContext::kContentsRenderingMode).toInt(), 1);
  EXPECT_EQ(fresh.value(WetDryContext::kCompRenderingMode).toInt(), 0);
  EXPECT_EQ(fresh.value(WetDryContext::kDFactor).toInt(), 771);
  EXPECT_EQ(fresh.value(WetDryContext::kCIFilterName).toString(),
            QStringLiteral("CISourceAtopCompositing"));
  EXPECT_FALSE(fresh.contains(WetDryContext::kQCFilterName)) << "no comp mode folder";

  struct Case {
    const char* name;
    QVariantMap snapshot;
    int contents, comp;
    GLenum dFactor;
    QString ciName;
  };
  const Case cases[] = {
      {"additive blending",
       {{"contentsRenderingMode", 1}, {"dFactor", 772}},
       1,
       0,
       772,
       "CISourceAtopCompositing"},
      {"blend mode without a factor changes nothing",
       {{"contentsRenderingMode", 1}},
       1,
       0,
       771,
       "CISourceAtopCompositing"},
      {"filter mode",
       {{"contentsRenderingMode", 0},
        {"compRenderingMode", 0},
        {"CIFilterName", "CIMultiplyBlendMode"},
        {"dFactor", 772}},
       0,
       0,
       772,
       "CIMultiplyBlendMode"},
      {"filter mode without compRenderingMode changes nothing",
       {{"contentsRenderingMode", 0}},
       1,
       0,
       771,
       "CISourceAtopCompositing"},
      {"blend mode storing names only",
       {{"contentsRenderingMode", 1}, {"CIFilterName", "CIMultiplyBlendMode"}},
       1,
       0,
       771,
       "CIMultiplyBlendMode"},
      {"no mode", {{"dFactor", 772}}, 1, 0, 771, "CISourceAtopCompositing"},
      {"a mode of the wrong type",
       {{"contentsRenderingMode", "0"}},
       1,
       0,
       771,
       "CISourceAtopCompositing"},
  };
  for (const Case& c : cases) {
    auto loaded = makeMixer();
    loaded->loadSnapshot(c.snapshot);
    EXPECT_EQ(loaded->contentsRenderingMode(), c.contents) << c.name;
    EXPECT_EQ(loaded->compRenderingMode(), c.comp) << c.name;
    EXPECT_EQ(loaded->dFactor(), c.dFactor) << c.name;
    EXPECT_EQ(loaded->CIFilterName(), c.ciName) << c.name;
    // What it saves loads back into the same state.
    auto again = makeMixer();
    again->loadSnapshot(loaded->createSnapshot());
    EXPECT_EQ(again->createSnapshot(), loaded->createSnapshot()) << c.name;
  }
}

// Comp mode: the mixer's composition context, with a fake renderer factory
// for the state machine and the runtime for pixels.
class WetDryCompModeTest : public WetDryMixerTest {
 protected:
  void SetUp() override {
    WetDryMixerTest::SetUp();
    if (IsSkipped()) return;
    modes_ = resources_ + QStringLiteral("/qcCompModes");
    write(modes_, QStringLiteral("a.qtz"), playableCompModeFile(kCrossfade));
    write(modes_, QStringLiteral("B.qtz"), playableCompModeFile(kCrossfade));
  }
  void TearDown() override {
    QKQCGLContext::setDefaultRendererFactory(nullptr);
    WetDryMixerTest::TearDown();
  }
  void useFakeRenderers() { QKQCGLContext::setDefaultRendererFactory(fakes_); }
  std::shared_ptr<QKQCGLContext> compositionContext(WetDryContext& mixer) {
    return std::dynamic_pointer_cast<QKQCGLContext>(mixer.compContext());
  }

  // The background and the foreground mixed by the opacity.
  static constexpr const char* kCrossfade = R"(
uniform sampler2D foreground;
uniform sampler2D background;
uniform float opacity;
vec4 shaderMain() {
  return mix(background_sample(texCoord), foreground_sample(texCoord), opacity);
}
)";

  QString modes_;
  std::shared_ptr<FakeRendererFactory> fakes_ = std::make_shared<FakeRendererFactory>();
};

TEST_F(WetDryCompModeTest, TheCompositionGetsBothImagesAndTheAmount) {
  useFakeRenderers();
  auto mixer = makeMixer();
  EXPECT_EQ(mixer->QCFilterName(), QStringLiteral("a.qtz")) << "the default comp mode";
  mixer->useQCCompMode(QStringLiteral("B.qtz"));
  EXPECT_EQ(mixer->contentsRenderingMode(), 0);
  EXPECT_EQ(mixer->compRenderingMode(), 1);
  auto context = compositionContext(*mixer);
  ASSERT_TRUE(context);
  EXPECT_EQ(QFileInfo(context->rendererPath()).fileName(), QStringLiteral("B.qtz"));
  gl::TextureHandle dry, wet;
  onRenderThread([&] {
    dry = imageTexture(picture(kDry));
    wet = renderedTexture(picture(kWet));
  });
  onRenderThread([&] {
    auto buffer = QKBufferHolder::create(QSizeF(2, 2));
    mixer->setWetDryValue(0.3f);
    mixer->setBackTextureRef(dry);
    mixer->setFrontTextureRef(wet);
    mixer->setPBufferRef(buffer->bufferRef());
    mixer->render();
    mixer->draw();
    EXPECT_TRUE(mixer->textureRef());
  });
  std::shared_ptr<FakeRenderer> renderer = fakes_->last();
  ASSERT_TRUE(renderer);
  ASSERT_EQ(renderer->values.size(), 3u);
  EXPECT_TRUE(
      renderer->values[QStringLiteral("background")].get<gl::TextureHandle>()->sameTexture(dry));
  EXPECT_TRUE(
      renderer->values[QStringLiteral("foreground")].get<gl::TextureHandle>()->sameTexture(wet));
  EXPECT_FLOAT_EQ(float(*renderer->values[QStringLiteral("opacity")].get<double>()), 0.3f);
  EXPECT_EQ(renderer->times.size(), 1u);
}

TEST_F(WetDryCompModeTest, ModeChangesAndNamesFollowTheStateMachine) {
  useFakeRenderers();
  auto frame = [&](WetDryContext& mixer) {
    onRenderThread([&] {
      auto buffer = QKBufferHolder::create(QSizeF(2, 2));
      mixer.setPBufferRef(buffer->bufferRef());
      mixer.render();
      mixer.draw();
    });
  };
  auto mixer = makeMixer();
  mixer->useQCCompMode(QStringLiteral("a.qtz"));
  const auto first = compositionContext(*mixer);
  ASSERT_TRUE(first);
  frame(*mixer);
  ASSERT_EQ(fakes_->makeCalls, 1);

  // The name in use changes nothing; another one keeps the context and
  // plays the new file from time 0 with a new renderer.
  mixer->useQCCompMode(QStringLiteral("a.qtz"));
  frame(*mixer);
  EXPECT_EQ(fakes_->makeCalls, 1);
  mixer->useQCCompMode(QStringLiteral("B.qtz"));
  EXPECT_EQ(compositionContext(*mixer), first);
  EXPECT_EQ(QFileInfo(first->rendererPath()).fileName(), QStringLiteral("B.qtz"));
  frame(*mixer);
  EXPECT_EQ(fakes_->makeCalls, 2);

  // Blend mode and back: a new composition context each time.
  mixer->setContentsRenderingMode(1);
  EXPECT_TRUE(std::dynamic_pointer_cast<QKGL2LayerContext>(mixer->compContext()));
  mixer->setContentsRenderingMode(0);
  const auto second = compositionContext(*mixer);
  ASSERT_TRUE(second);
  EXPECT_NE(second, first);
  EXPECT_EQ(QFileInfo(second->rendererPath()).fileName(), QStringLiteral("B.qtz"));

  // A name no folder holds: entering comp mode with it makes no context;
  // a name that is found then makes one.
  auto missing = makeMixer();
  missing->useQCCompMode(QStringLiteral("Missing.qtz"));
  EXPECT_EQ(missing->compRenderingMode(), 1);
  EXPECT_FALSE(missing->compContext());
  frame(*missing);
  EXPECT_TRUE(missing->textureRef().isNull());
  missing->useQCCompMode(QStringLiteral("a.qtz"));
  EXPECT_TRUE(compositionContext(*missing));
  EXPECT_EQ(missing->createSnapshot().value(WetDryContext::kQCFilterName).toString(),
            QStringLiteral("a.qtz"));
}

TEST_F(WetDryCompModeTest, ACompModeDrawsWhatItsFormulaGivesOverOpaqueBlack) {
  auto mixer = makeMixer();
  mixer->useQCCompMode(QStringLiteral("a.qtz"));
  for (float w : {0.0f, 0.5f, 1.0f}) {
    const QImage out = mix(*mixer, w);
    ASSERT_FALSE(out.isNull()) << w;
    for (int i = 0; i < 4; ++i) {
      // The composition's straight colour over opaque black.
      const Rgba b = toRgba(kDry[i]);
      const Rgba f = toRgba(kWet[i]);
      const auto lerp = [&](double x, double y) { return x + (y - x) * w; };
      const Rgba c{lerp(b.r, f.r), lerp(b.g, f.g), lerp(b.b, f.b), lerp(b.a, f.a)};
      const Rgba expected{c.r * c.a, c.g * c.a, c.b * c.a, 1.0};
      EXPECT_TRUE(near(out.pixelColor(i % 2, i / 2), toColor(expected), 3))
          << "w " << w << " pixel " << i;
    }
  }
}

// Kernels, drawing images into targets, chains of filters through pooled
// textures and the accumulator.
#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageAccumulator.h"
#include "platform/image/ImageContext.h"
#include "platform/image/Kernel.h"
#include "tests/support/ImageFixture.h"
#include "tests/support/LogCapture.h"

#include <set>

using image::Image;
using image::ImageContext;
using image::Kernel;

namespace {

const QByteArray kScale =
    "uniform sampler2D image;   // the picture\n"
    "uniform float gain;\n"
    "uniform vec4 tint;\n"
    "uniform float table[8];\n"
    "vec4 kernelMain() {\n"
    "  vec4 c = image_sample(destCoord());\n"
    "  return vec4(c.rgb * gain * tint.rgb + table[1], c.a);\n"
    "}\n";
}  // namespace

class KernelTest : public ImageFixture {};

TEST_F(KernelTest, ParametersAreTheUniformsInTheirOrder) {
  auto kernel = Kernel::fromSource("scale", kScale);
  ASSERT_TRUE(kernel);
  const auto& p = kernel->parameters();
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0].name, "image");
  EXPECT_EQ(p[0].type, "sampler2D");
  EXPECT_EQ(p[1].name, "gain");
  EXPECT_EQ(p[2].type, "vec4");
  EXPECT_EQ(p[3].type, "float[]");
  EXPECT_EQ(p[3].arraySize, 8);
  EXPECT_EQ(
      Kernel::fromSource("broken", "#include \"NoSuchFile.glsl\"\n", Kernel::kernelDirectory()),
      nullptr);
  Log::resetLimits();
  LogCapture log;
  EXPECT_EQ(Kernel::named("NoSuchKernel"), nullptr);
  EXPECT_TRUE(log.lines().join('\n').contains("err: no kernel at"));
}

TEST_F(KernelTest, ArgumentsAreBoundByPositionAndCheckedAgainstTheParameters) {
  Log::resetLimits();
  LogCapture log;
  onRenderThread([&] {
    auto kernel = Kernel::fromSource("scale", kScale);
    const Image source = solid(QColor(100, 200, 50, 128), QRectF(0, 0, 2, 2));
    const Image out = kernel->apply(
        QRectF(0, 0, 2, 2), {source, 0.5f, QVector4D(1, 1, 0, 1), std::vector<float>{0, 0.1f}});
    EXPECT_TRUE(near(at(out, 0, 0), QColor(76, 126, 26, 128)));
    struct Case {
      const char* what;
      std::vector<image::KernelArgument> arguments;
    };
    const Case wrong[] = {
        {"too few", {source, 0.5f}},
        {"a number for the image", {1.0f, 0.5f, QVector4D(), std::vector<float>{}}},
        {"a vector for the number", {source, QVector2D(), QVector4D(), std::vector<float>{}}},
        {"too long an array", {source, 0.5f, QVector4D(), std::vector<float>(9, 0.0f)}},
    };
    for (const Case& c : wrong)
      EXPECT_TRUE(kernel->apply(QRectF(0, 0, 2, 2), c.arguments).isNull()) << c.what;
  });
  EXPECT_TRUE(log.lines().join('\n').contains("err: kernel scale"));
}

TEST_F(KernelTest, AKernelThatDoesNotCompileIsReportedAndGivesNothing) {
  Log::resetLimits();
  LogCapture log;
  onRenderThread([&] {
    auto kernel =
        Kernel::fromSource("typo", "uniform float x;\nvec4 kernelMain() { return vec5(x); }\n");
    EXPECT_TRUE(kernel->apply(QRectF(0, 0, 1, 1), {1.0f}).isNull());
    EXPECT_TRUE(kernel->apply(QRectF(0, 0, 1, 1), {1.0f}).isNull());
  });
  EXPECT_EQ(log.lines().join('\n').count("does not compile"), 1) << "compiled once per context";
}

TEST_F(KernelTest, KernelsLeaveTheCallersTargetBound) {
  onRenderThread([&] {
    gl::GLContext* context = gl::GLContext::current();
    gl::TextureHandle mine = gl::TexturePool::shared().acquire(QSize(4, 4));
    gl::RenderTarget target;
    target.setBlend({true, GL_ONE, GL_ONE});
    ASSERT_TRUE(target.bind(mine));
    const GLuint framebuffer = context->boundFramebuffer();
    auto blur = image::FilterRegistry::shared().filterWithName("CIGaussianBlur");
    blur->setValue(QVariant::fromValue(solid(Qt::red, QRectF(0, 0, 16, 16))), "inputImage");
    ASSERT_FALSE(blur->outputImage().isNull());
    EXPECT_EQ(context->boundFramebuffer(), framebuffer);
    EXPECT_EQ(context->drawingInto(), mine.storage());
    EXPECT_EQ(context->viewport(), QRect(0, 0, 4, 4));
    EXPECT_TRUE(context->blend().enabled);
  });
}

TEST_F(KernelTest, AChainThroughPooledTexturesNeverReadsTheTextureItWrites) {
  onRenderThread([&] {
    auto& registry = image::FilterRegistry::shared();
    auto controls = registry.filterWithName("CIColorControls");
    auto blur = registry.filterWithName("CIGaussianBlur");
    auto over = registry.filterWithName("CISourceOverCompositing");
    const Image background = solid(QColor(0, 0, 255), QRectF(0, 0, 8, 8));
    // Every image stays held, so no texture may be handed out twice.
    std::vector<Image> held{background, solid(QColor(255, 0, 0, 128), QRectF(0, 0, 8, 8))};
    std::set<const gl::Texture*> seen{held[0].texture().storage(), held[1].texture().storage()};
    Image current = held[1];
    for (int frame = 0; frame < 3; ++frame) {
      controls->setValue(QVariant::fromValue(current), "inputImage");
      controls->setValue(0.5, "inputSaturation");
      const Image a = controls->outputImage();
      blur->setValue(QVariant::fromValue(a), "inputImage");
      blur->setValue(1.0, "inputRadius");
      const Image b = blur->outputImage();
      over->setValue(QVariant::fromValue(b), "inputImage");
      over->setValue(QVariant::fromValue(background), "inputBackgroundImage");
      const Image c = over->outputImage();
      for (const Image* step : {&a, &b, &c}) {
        ASSERT_FALSE(step->isNull());
        EXPECT_TRUE(seen.insert(step->texture().storage()).second)
            << "frame " << frame << ": a texture still held was written again";
        held.push_back(*step);
      }
      current = c.byCropping(QRectF(0, 0, 8, 8));
    }
    // Held images are untouched by the later frames.
    EXPECT_TRUE(near(at(background, 3, 3), QColor(0, 0, 255)));
  });
}

TEST_F(KernelTest, DrawingAnImageIntoItsOwnTextureCopiesItFirst) {
  Log::resetLimits();
  LogCapture log;
  onRenderThread([&] {
    QImage halves(2, 1, QImage::Format_RGBA8888);
    halves.setPixelColor(0, 0, QColor(255, 0, 0));
    halves.setPixelColor(1, 0, QColor(0, 255, 0));
    const Image source = ImageContext::copy(picture(halves), QRectF(0, 0, 2, 1));
    gl::RenderTarget target;
    ASSERT_TRUE(target.bind(source.texture()));
    ImageContext context;
    // Shift left by one: a read of the texture being written would smear.
    EXPECT_TRUE(context.drawImage(source, QPointF(0, 0), QRectF(1, 0, 2, 1)));
    target.detach();
    gl::TextureHandle rows = source.texture();
    rows.setFlipped(false);
    const QImage back = gl::TextureReader::read(rows);
    EXPECT_TRUE(near(back.pixelColor(0, 0), QColor(0, 255, 0)));
    EXPECT_EQ(back.pixelColor(1, 0).alpha(), 0);

    // A kernel asked to read the target's own texture refuses.
    ASSERT_TRUE(target.bind(source.texture()));
    auto copy = Kernel::fromSource(
        "copy", "uniform sampler2D s;\nvec4 kernelMain() { return s_sample(destCoord()); }\n");
    EXPECT_FALSE(copy->renderInto(QRect(0, 0, 2, 1), QPointF(0, 0), {source}));
    target.detach();
  });
  EXPECT_TRUE(log.lines().join('\n').contains("would read the texture being drawn"));
}

TEST_F(KernelTest, RenderingToMemoryTakesEachByteOrder) {
  struct Case {
    ImageContext::BitmapFormat format;
    std::array<uchar, 4> bytes;
  };
  const Case cases[] = {
      {ImageContext::BitmapFormat::RGBA8, {10, 20, 30, 40}},
      {ImageContext::BitmapFormat::ARGB8, {40, 10, 20, 30}},
      {ImageContext::BitmapFormat::BGRA8, {30, 20, 10, 40}},
  };
  onRenderThread([&] {
    QImage two(1, 2, QImage::Format_RGBA8888);
    two.setPixelColor(0, 0, QColor(10, 20, 30, 40));  // top
    two.setPixelColor(0, 1, QColor(0, 0, 0, 255));
    const Image source = picture(two);
    ImageContext context;
    for (const Case& c : cases) {
      uchar bitmap[16] = {};
      ASSERT_TRUE(context.render(source, bitmap, 8, QRectF(0, 0, 1, 2), c.format));
      for (int i = 0; i < 4; ++i) EXPECT_NEAR(bitmap[i], c.bytes[i], 1) << "byte " << i;
      // The second row starts 8 bytes on; its alpha comes first in ARGB.
      const bool alphaFirst = c.format == ImageContext::BitmapFormat::ARGB8;
      EXPECT_EQ(bitmap[alphaFirst ? 8 : 11], 255);
    }
    uchar small[4];
    EXPECT_FALSE(
        context.render(source, small, 2, QRectF(0, 0, 1, 2), ImageContext::BitmapFormat::RGBA8))
        << "rows too short";
  });
}

TEST_F(KernelTest, TheAccumulatorFeedsBackStoredResultsInNewTextures) {
  onRenderThread([&] {
    image::ImageAccumulator accumulator(QRectF(0, 0, 4, 4));
    const Image empty = accumulator.image();
    EXPECT_EQ(empty.extent(), QRectF(0, 0, 4, 4));
    EXPECT_EQ(at(empty, 1, 1).alpha(), 0);
    // Adding a quarter of red each frame: 0.25, 0.5, 0.75, 1.
    auto add = image::FilterRegistry::shared().filterWithName("CIAdditionCompositing");
    const Image quarter = solid(QColor(255, 0, 0, 64), QRectF(0, 0, 4, 4));
    const gl::Texture* previous = empty.texture().storage();
    for (int frame = 1; frame <= 4; ++frame) {
      const Image before = accumulator.image();
      add->setValue(QVariant::fromValue(quarter), "inputImage");
      add->setValue(QVariant::fromValue(before), "inputBackgroundImage");
      accumulator.setImage(add->outputImage());
      const Image after = accumulator.image();
      EXPECT_NE(after.texture().storage(), previous);
      previous = after.texture().storage();
      EXPECT_NEAR(at(after, 2, 2).alpha(), std::min(255, 64 * frame), 3) << "frame " << frame;
      EXPECT_EQ(at(before, 2, 2).alpha(), std::min(255, 64 * (frame - 1))) << "unchanged";
    }
    // Larger images are cut to the extent.
    accumulator.setImage(solid(Qt::green, QRectF(-4, -4, 16, 16)));
    EXPECT_EQ(accumulator.image().extent(), QRectF(0, 0, 4, 4));
    accumulator.clear();
    EXPECT_EQ(at(accumulator.image(), 0, 0).alpha(), 0);
  });
}

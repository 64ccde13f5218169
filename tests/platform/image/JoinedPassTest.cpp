// Results not rendered yet: chains of pointwise kernels computed in one
// pass, and results drawn straight into their target, against the same
// work rendered step by step.
#include "platform/gl/PixelUploader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageContext.h"
#include "platform/image/Kernel.h"
#include "platform/image/KernelPass.h"
#include "tests/platform/image/ImageFixture.h"

using image::Filter;
using image::Image;

namespace {
std::shared_ptr<Filter> make(const char* name) {
  return image::FilterRegistry::shared().filterWithName(name);
}

Image composite(const char* name, const Image& front, const Image& back) {
  auto filter = make(name);
  filter->setValue(QVariant::fromValue(front), "inputImage");
  filter->setValue(QVariant::fromValue(back), "inputBackgroundImage");
  return filter->outputImage();
}

Image controls(const Image& input, double saturation, double brightness) {
  auto filter = make("CIColorControls");
  filter->setValue(QVariant::fromValue(input), "inputImage");
  filter->setValue(saturation, "inputSaturation");
  filter->setValue(brightness, "inputBrightness");
  return filter->outputImage();
}

// Renders an image now, as a texture of its own.
Image made(const Image& image) {
  image.texture();
  return image;
}

// A small picture with a gradient of colour and coverage.
QImage gradient(int seed) {
  QImage picture(6, 4, QImage::Format_RGBA8888);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      picture.setPixelColor(x, y,
                            QColor((40 * x + 60 * seed) % 256, (50 * y + 30 * seed) % 256,
                                   (25 * (x + y) + 90 * seed) % 256, 60 + 30 * x + 10 * y));
  return picture;
}

void expectSame(const QImage& a, const QImage& b, int tolerance) {
  ASSERT_EQ(a.size(), b.size());
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixelColor(x, y).alpha() == 0 && b.pixelColor(x, y).alpha() == 0) continue;
      EXPECT_TRUE(GLTest::near(a.pixelColor(x, y), b.pixelColor(x, y), tolerance))
          << "at " << x << "," << y;
    }
}
}  // namespace

class JoinedPassTest : public ImageFixture {};

TEST_F(JoinedPassTest, AChainOfPointwiseKernelsGivesWhatTheStepsGive) {
  onRenderThread([&] {
    const Image a = picture(gradient(0));
    const Image b = picture(gradient(1)).byApplyingTransform(QTransform::fromTranslate(2, 1));
    // The same kernel twice, blend modes with helpers of their own, and
    // colour controls in between: every name is made unique when joined.
    const char* chain[] = {"CISourceOverCompositing", "CIHueBlendMode", "CISourceOverCompositing",
                           "CISoftLightBlendMode"};
    Image joined = controls(a, 0.4, 0.1);
    Image stepped = made(controls(a, 0.4, 0.1));
    for (const char* name : chain) {
      joined = composite(name, b, joined);
      stepped = made(composite(name, b, stepped));
    }
    ASSERT_TRUE(joined.isPending());
    EXPECT_EQ(joined.extent(), stepped.extent());
    const QRectF bounds = stepped.extent();
    // Intermediates of eight bits per channel round where the joined pass
    // keeps floats.
    expectSame(pixels(joined, bounds), pixels(stepped, bounds), 4);
  });
}

TEST_F(JoinedPassTest, PointwiseKernelsJoinTheirInputsAndOthersReadTextures) {
  onRenderThread([&] {
    const Image a = solid(QColor(200, 40, 40, 200), QRectF(0, 0, 8, 8));
    const Image b = solid(QColor(40, 40, 200), QRectF(0, 0, 8, 8));
    const Image over = composite("CISourceOverCompositing", a, b);
    const Image graded = controls(over, 0.5, 0.0);

    auto copy = image::Kernel::fromSource("copy",
                                          "// pointwise\nuniform sampler2D s;\nvec4 kernelMain() { "
                                          "return s_sample(destCoord()); }\n");
    image::KernelPass pass;
    ASSERT_TRUE(pass.plan(copy, {graded}, nullptr));
    EXPECT_EQ(pass.joinedKernels(), 3) << "copy, controls and the composite in one pass";
    EXPECT_TRUE(over.isPending()) << "planning made nothing";

    auto blur = make("CIGaussianBlur");
    blur->setValue(QVariant::fromValue(graded), "inputImage");
    blur->setValue(1.0, "inputRadius");
    const Image blurred = blur->outputImage();
    auto blurKernel = image::Kernel::named("CIGaussianBlur");
    image::KernelPass blurPass;
    ASSERT_TRUE(blurPass.plan(blurKernel, {graded, QVector2D(1, 0), std::vector<float>{1.0f}, 0.0f},
                              nullptr));
    EXPECT_EQ(blurPass.joinedKernels(), 1) << "a blur reads around: its input gets a texture";
    EXPECT_FALSE(graded.isPending());
    EXPECT_FALSE(blurred.isNull());
  });
}

TEST_F(JoinedPassTest, AResultReadTwiceOrCroppedKeepsItsMeaning) {
  onRenderThread([&] {
    const Image a = picture(gradient(3));
    const Image b = solid(QColor(10, 200, 90), QRectF(0, 0, 6, 4));
    const Image shared = composite("CISourceAtopCompositing", a, b);
    const Image cropped = shared.byCropping(QRectF(1, 1, 3, 2));
    const Image first = composite("CIMultiplyBlendMode", shared, b);
    const Image second = composite("CISourceOverCompositing", cropped, b);
    const Image sharedMade = made(composite("CISourceAtopCompositing", a, b));
    const QRectF all(0, 0, 6, 4);
    expectSame(pixels(first, all),
               pixels(made(composite("CIMultiplyBlendMode", sharedMade, b)), all), 4);
    expectSame(pixels(second, all),
               pixels(made(composite("CISourceOverCompositing",
                                     sharedMade.byCropping(QRectF(1, 1, 3, 2)), b)),
                      all),
               4);
    // Outside the crop only the background shows.
    EXPECT_TRUE(near(at(second, 0, 0), QColor(10, 200, 90)));
  });
}

TEST_F(JoinedPassTest, AResultDrawnIntoATargetNeedsNoTextureOfItsOwn) {
  onRenderThread([&] {
    const Image front = solid(QColor(255, 0, 0, 128), QRectF(0, 0, 4, 4));
    const Image back = solid(QColor(0, 0, 255), QRectF(0, 0, 4, 4));
    const Image over = composite("CISourceOverCompositing", front, back);
    gl::TextureHandle out = gl::TexturePool::shared().acquire(QSize(4, 4));
    gl::RenderTarget target;
    ASSERT_TRUE(target.bind(out));
    target.clear(QVector4D(0, 0, 0, 0));
    image::ImageContext context;
    ASSERT_TRUE(context.drawImage(over, QPointF(0, 0), QRectF(0, 0, 4, 4)));
    target.detach();
    EXPECT_TRUE(over.isPending()) << "drawn straight into the target";
    EXPECT_TRUE(near(gl::TextureReader::read(out).pixelColor(1, 1), QColor(128, 0, 127)));
    // Drawn beyond what it covers, it is rendered first and copied.
    ASSERT_TRUE(target.bind(out));
    target.clear(QVector4D(0, 0, 0, 0));
    ASSERT_TRUE(context.drawImage(over, QPointF(0, 0), QRectF(-1, 0, 4, 4)));
    target.detach();
    EXPECT_FALSE(over.isPending());
    const QImage shifted = gl::TextureReader::read(out);  // top row first
    EXPECT_EQ(shifted.pixelColor(0, 0).alpha(), 0);
    EXPECT_TRUE(near(shifted.pixelColor(1, 0), QColor(128, 0, 127)));
  });
}

TEST_F(JoinedPassTest, AResultShowsItsInputsAsTheyWereWhenItWasMade) {
  onRenderThread([&] {
    // A layer buffer, written again every frame.
    gl::TextureHandle buffer = gl::TexturePool::shared().acquire(QSize(2, 2));
    gl::RenderTarget target;
    ASSERT_TRUE(target.bind(buffer));
    target.clear(QVector4D(1, 0, 0, 1));
    target.detach();
    const Image frame = Image::fromTexture(buffer);
    const Image before = controls(frame, 1.0, 0.0);
    const Image alsoBefore = controls(frame, 1.0, 0.0);
    ASSERT_TRUE(before.isPending());
    // The next frame draws into the same buffer, then uploads into it.
    ASSERT_TRUE(target.bind(buffer));
    target.clear(QVector4D(0, 1, 0, 1));
    target.detach();
    EXPECT_TRUE(near(at(before, 0, 0), QColor(255, 0, 0)));
    const Image afterDraw = controls(frame, 1.0, 0.0);
    QImage blue(2, 2, QImage::Format_RGBA8888);
    blue.fill(QColor(0, 0, 255));
    gl::PixelUploader uploader;
    ASSERT_TRUE(
        uploader.uploadInto(buffer, blue.constBits(), blue.size(), int(blue.bytesPerLine())));
    EXPECT_TRUE(near(at(alsoBefore, 0, 0), QColor(255, 0, 0)));
    EXPECT_TRUE(near(at(afterDraw, 0, 0), QColor(0, 255, 0)));
    EXPECT_TRUE(near(at(controls(frame, 1.0, 0.0), 0, 0), QColor(0, 0, 255)));
  });
}

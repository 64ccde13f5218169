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
#include "tests/support/ImageFixture.h"

#include <cmath>
#include <functional>

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

// A picture whose edge is half transparent and one corner transparent.
QImage edged(int width, int height, int seed) {
  QImage picture(width, height, QImage::Format_RGBA8888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
      picture.setPixelColor(x, y,
                            QColor((70 * x + 50 * seed) % 256, (90 * y + 20 * seed) % 256,
                                   (30 * (x + 2 * y) + 80 * seed) % 256, edge ? 128 : 230));
    }
  picture.setPixelColor(0, 0, QColor(255, 255, 255, 0));
  return picture;
}

// A layer of a stack, and the straight colour it shows at the image-plane
// pixel whose lower left corner is (x, y).
struct Layer {
  Image image;
  std::function<QColor(int x, int y)> colour;
};

// The stack composited source-over, computed here: `bounds` top row first.
QImage reference(const std::vector<Layer>& layers, const QRect& bounds) {
  QImage out(bounds.size(), QImage::Format_RGBA8888);
  for (int row = 0; row < bounds.height(); ++row)
    for (int column = 0; column < bounds.width(); ++column) {
      double sum[4] = {0, 0, 0, 0};
      for (const Layer& layer : layers) {
        const QColor c = layer.colour(bounds.x() + column, bounds.bottom() - row);
        const double a = c.alphaF();
        const double s[4] = {c.redF() * a, c.greenF() * a, c.blueF() * a, a};
        for (int k = 0; k < 4; ++k) sum[k] = s[k] + sum[k] * (1 - a);
      }
      const double a = sum[3];
      out.setPixelColor(column, row,
                        a > 0 ? QColor::fromRgbF(float(sum[0] / a), float(sum[1] / a),
                                                 float(sum[2] / a), float(a))
                              : QColor(0, 0, 0, 0));
    }
  return out;
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

class JoinedPassTest : public ImageFixture {
 protected:
  static Layer placed(const QImage& source, QPoint at, bool renderedRows) {
    const Image uploaded = picture(source);  // rows top first
    const Image image =
        renderedRows ? made(image::ImageContext::copy(uploaded, QRectF(source.rect()))) : uploaded;
    return {image.byApplyingTransform(QTransform::fromTranslate(at.x(), at.y())),
            [source, at](int x, int y) {
              const QPoint p(x - at.x(), source.height() - 1 - (y - at.y()));
              return source.rect().contains(p) ? source.pixelColor(p) : QColor(0, 0, 0, 0);
            }};
  }

  static Layer cropped(const Layer& layer, const QRect& crop) {
    return {layer.image.byCropping(QRectF(crop)), [layer, crop](int x, int y) {
              return crop.contains(x, y) ? layer.colour(x, y) : QColor(0, 0, 0, 0);
            }};
  }

  static Layer constant(const QColor& colour) {
    return {image::ImageContext::constantColor(colour), [colour](int, int) { return colour; }};
  }
};

// Joined passes read textures lying pixel on pixel by their texels, skip the
// extent test of images that cover the area drawn and premultiply once: the
// stack's pixels, their rows either way up, against the sums done here.
TEST_F(JoinedPassTest, AStackOfLayersGivesTheComputedPixelsWhereverItIsRead) {
  onRenderThread([&] {
    const Layer back = placed(edged(8, 7, 0), QPoint(0, 0), false);
    const Layer upright = placed(edged(6, 4, 1), QPoint(2, 2), false);
    const Layer rendered = placed(edged(5, 3, 2), QPoint(1, 1), true);
    struct Case {
      const char* what;
      std::vector<Layer> layers;  // bottom first
      QRect bounds;
    };
    const Case cases[] = {
        {"an area beyond every layer", {back, upright, rendered}, QRect(-1, -1, 10, 9)},
        {"an area every layer covers", {back, upright, rendered}, QRect(2, 2, 4, 2)},
        {"a crop smaller than the area its texture covers",
         {back, cropped(upright, QRect(3, 3, 3, 2))},
         QRect(2, 2, 4, 2)},
        {"an infinite colour under a cropped and a partial layer",
         {constant(QColor(30, 90, 200, 160)), cropped(upright, QRect(3, 3, 3, 2)),
          placed(edged(5, 3, 3), QPoint(4, 0), true)},
         QRect(-2, -2, 12, 10)},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      Image stack = c.layers[0].image;
      for (std::size_t i = 1; i < c.layers.size(); ++i)
        stack = composite("CISourceOverCompositing", c.layers[i].image, stack);
      ASSERT_TRUE(stack.isPending());
      expectSame(pixels(stack, QRectF(c.bounds)), reference(c.layers, c.bounds), 1);
    }
  });
}

// Drawn from a point between pixels, each pixel of the target shows the
// image pixel under its centre.
TEST_F(JoinedPassTest, AnImageDrawnFromBetweenPixelsShowsThePixelUnderEachCentre) {
  onRenderThread([&] {
    const QPointF origins[] = {{0.25, 0.25}, {0.75, 0.75}, {1.75, 0.25}};
    for (bool renderedRows : {false, true}) {
      const Layer layer = placed(edged(6, 5, 4), QPoint(0, 0), renderedRows);
      for (const QPointF& origin : origins) {
        SCOPED_TRACE(QStringLiteral("rows %1, from %2, %3")
                         .arg(renderedRows ? "bottom up" : "top first")
                         .arg(origin.x())
                         .arg(origin.y())
                         .toStdString());
        gl::TextureHandle out = gl::TexturePool::shared().acquire(QSize(3, 3));
        gl::RenderTarget target;
        ASSERT_TRUE(target.bind(out));
        image::ImageContext context;
        ASSERT_TRUE(context.drawImage(layer.image, QPointF(0, 0), QRectF(origin, QSizeF(3, 3))));
        target.detach();
        const QImage rows = gl::TextureReader::readRows(out);  // bottom row first
        for (int y = 0; y < 3; ++y)
          for (int x = 0; x < 3; ++x)
            EXPECT_EQ(rows.pixelColor(x, y), layer.colour(int(std::floor(x + 0.5 + origin.x())),
                                                          int(std::floor(y + 0.5 + origin.y()))))
                << "at " << x << "," << y;
      }
    }
  });
}

TEST_F(JoinedPassTest, AnImageOffTheWholePixelsIsFilteredBetweenThem) {
  onRenderThread([&] {
    QImage stripes(8, 2, QImage::Format_RGBA8888);
    for (int x = 0; x < 8; ++x)
      for (int y = 0; y < 2; ++y) stripes.setPixelColor(x, y, x % 2 ? Qt::white : Qt::black);
    const Image shifted = picture(stripes).byApplyingTransform(QTransform::fromTranslate(0.5, 0));
    const Image over = composite("CISourceOverCompositing", shifted,
                                 solid(QColor(0, 0, 0, 0), QRectF(0, 0, 9, 2)));
    const QImage out = pixels(over, QRectF(0, 0, 9, 2));
    // Each pixel lies half on a black and half on a white one.
    for (int x = 1; x < 8; ++x)
      EXPECT_TRUE(near(out.pixelColor(x, 0), QColor(128, 128, 128), 2)) << x;
  });
}

// A kernel reading between texels mixes the four around, premultiplied,
// transparent beyond the extent, whichever way the rows lie, wherever the
// texture lies and however it is cropped.
TEST_F(JoinedPassTest, AReadBetweenTexelsMixesTheFourAroundAsComputedHere) {
  onRenderThread([&] {
    auto halfScale = image::Kernel::fromSource(
        "halfScale",
        "uniform sampler2D s;\nuniform vec2 origin;\nvec4 kernelPremultiplied() { return "
        "s_samplePremultiplied(origin + destCoord() * 0.5); }\n");
    ASSERT_TRUE(halfScale);
    const Layer upright = placed(edged(6, 5, 5), QPoint(0, 0), false);
    const Layer rendered = placed(edged(6, 5, 6), QPoint(0, 0), true);
    const Layer moved = placed(edged(5, 4, 7), QPoint(2, 1), false);
    struct Case {
      const char* what;
      Layer layer;
      QVector2D origin;
    };
    const Case cases[] = {
        {"rows top first", upright, QVector2D(0.3f, 0.1f)},
        {"rows bottom up", rendered, QVector2D(0.3f, 0.1f)},
        {"a texture moved by whole pixels", moved, QVector2D(1.1f, 0.6f)},
        {"a crop within the texture", cropped(upright, QRect(1, 1, 3, 2)), QVector2D(0.3f, 0.1f)},
        {"a crop of texture rows bottom up", cropped(rendered, QRect(2, 0, 3, 4)),
         QVector2D(0.8f, -0.4f)},
    };
    const QRect bounds(-2, -2, 14, 12);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      const Image out = halfScale->apply(QRectF(bounds), {c.layer.image, c.origin});
      QImage expected(bounds.size(), QImage::Format_RGBA8888);
      for (int row = 0; row < bounds.height(); ++row)
        for (int column = 0; column < bounds.width(); ++column) {
          const double px = c.origin.x() + (bounds.x() + column + 0.5) * 0.5 - 0.5;
          const double py = c.origin.y() + (bounds.bottom() - row + 0.5) * 0.5 - 0.5;
          const int x = int(std::floor(px)), y = int(std::floor(py));
          const double fx = px - x, fy = py - y;
          double sum[4] = {0, 0, 0, 0};
          for (int k = 0; k < 4; ++k) {
            const QColor t = c.layer.colour(x + k % 2, y + k / 2);
            const double w = (k % 2 ? fx : 1 - fx) * (k / 2 ? fy : 1 - fy) * t.alphaF();
            sum[0] += w * t.redF();
            sum[1] += w * t.greenF();
            sum[2] += w * t.blueF();
            sum[3] += w;
          }
          expected.setPixelColor(
              column, row,
              sum[3] > 0 ? QColor::fromRgbF(float(sum[0] / sum[3]), float(sum[1] / sum[3]),
                                            float(sum[2] / sum[3]), float(sum[3]))
                         : QColor(0, 0, 0, 0));
        }
      expectSame(pixels(out, QRectF(bounds)), expected, 2);
    }
  });
}

// The map a kernel reads its image through (derived uniforms are worked out
// by a plain function: this one hands out the case being drawn).
QVector4D affineUnderTest;
std::vector<image::KernelArgument> affineOfTheCase(const std::vector<image::KernelArgument>&) {
  return {affineUnderTest};
}

// An affine read, composed with the pass's placement and the texel place on
// the CPU, gives the pixels of the read it stands for: the same where the
// map is exact in binary, within a step where it rounds; for textures lying
// pixel on pixel either way up, moved, cropped, and for one filtered between
// pixels.
TEST_F(JoinedPassTest, AnAffineReadGivesThePixelsOfTheReadItStandsFor) {
  onRenderThread([&] {
    auto direct = image::Kernel::fromSource(
        "direct",
        "uniform sampler2D s;\nuniform vec4 m;\nvec4 kernelPremultiplied() { return "
        "s_samplePremultiplied(destCoord() * m.xy + m.zw); }\n");
    auto affine = image::Kernel::fromSource(
        "affine",
        "uniform sampler2D s;\nuniform vec4 m;\nuniform vec4 s_affine;  // derived\n"
        "vec4 kernelPremultiplied() { return s_affinePremultiplied(); }\n");
    ASSERT_TRUE(direct && affine);
    ASSERT_EQ(affine->parameters().size(), 2u) << "a derived uniform is no parameter";
    affine->setDerivation(affineOfTheCase);
    const Layer upright = placed(edged(6, 5, 5), QPoint(0, 0), false);
    const Layer rendered = placed(edged(6, 5, 6), QPoint(0, 0), true);
    const Layer moved = placed(edged(5, 4, 7), QPoint(2, 1), false);
    const Image between = upright.image.byApplyingTransform(QTransform::fromTranslate(0.25, 0.5))
                              .byCropping(QRectF(0, 0, 6, 5));
    struct Case {
      const char* what;
      Image image;
    };
    const Case cases[] = {
        {"rows top first", upright.image},
        {"rows bottom up", rendered.image},
        {"a texture moved by whole pixels", moved.image},
        {"a crop within the texture", cropped(upright, QRect(1, 1, 3, 2)).image},
        {"a crop of texture rows bottom up", cropped(rendered, QRect(2, 0, 3, 4)).image},
        {"an image between pixels", between},
    };
    struct Map {
      QVector4D affine;
      int tolerance;
    };
    const Map maps[] = {{QVector4D(0.5f, 0.75f, 0.25f, -0.5f), 0},
                        {QVector4D(0.7f, 1.3f, 0.3f, 0.1f), 1},
                        {QVector4D(2.0f, -1.0f, -3.0f, 4.0f), 0}};
    const QRect bounds(-2, -2, 14, 12);
    for (const Case& c : cases)
      for (const Map& map : maps) {
        SCOPED_TRACE(testing::Message()
                     << c.what << ", map " << map.affine.x() << " " << map.affine.y() << " "
                     << map.affine.z() << " " << map.affine.w());
        affineUnderTest = map.affine;
        const Image want = direct->apply(QRectF(bounds), {c.image, map.affine});
        const Image got = affine->apply(QRectF(bounds), {c.image, map.affine});
        expectSame(pixels(got, QRectF(bounds)), pixels(want, QRectF(bounds)), map.tolerance);
      }
  });
}

TEST_F(JoinedPassTest, AKernelWithDerivedUniformsButNoDerivationGivesNothing) {
  onRenderThread([&] {
    auto kernel = image::Kernel::fromSource(
        "underived",
        "uniform sampler2D s;\nuniform vec4 s_affine;  // derived\nuniform float f;  // derived\n"
        "vec4 kernelPremultiplied() { return s_affinePremultiplied() * f; }\n");
    ASSERT_TRUE(kernel);
    ASSERT_EQ(kernel->derivedUniforms().size(), 2u);
    const Image input = solid(QColor(200, 100, 50), QRectF(0, 0, 4, 4));
    EXPECT_TRUE(kernel->apply(QRectF(0, 0, 4, 4), {input}).isNull());
    kernel->setDerivation(affineOfTheCase);  // one value for two uniforms
    EXPECT_TRUE(kernel->apply(QRectF(0, 0, 4, 4), {input}).isNull());
  });
}

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

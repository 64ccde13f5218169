// Colour controls, affine transforms, the Gaussian blur and the colour
// generator, against values computed on the CPU.
#include "platform/image/FilterRegistry.h"
#include "platform/image/GaussianBlurFilter.h"
#include "tests/support/ImageFixture.h"

#include <algorithm>
#include <cmath>

using image::Filter;
using image::FilterRegistry;
using image::Image;

namespace {
std::shared_ptr<Filter> make(const char* name) {
  return FilterRegistry::shared().filterWithName(name);
}

QColor colourControls(const QColor& in, double saturation, double brightness, double contrast) {
  const double c[] = {in.redF(), in.greenF(), in.blueF()};
  const double luma = 0.2125 * c[0] + 0.7154 * c[1] + 0.0721 * c[2];
  double out[3];
  for (int i = 0; i < 3; ++i) {
    const double v = luma + (c[i] - luma) * saturation + brightness;
    out[i] = std::clamp((v - 0.5) * contrast + 0.5, 0.0, 1.0);
  }
  return QColor::fromRgbF(float(out[0]), float(out[1]), float(out[2]), in.alphaF());
}

// A row of `width` transparent pixels with one opaque white pixel at `hot`.
QImage impulseRow(int width, int hot) {
  QImage row(width, 1, QImage::Format_RGBA8888);
  row.fill(Qt::transparent);
  row.setPixelColor(hot, 0, QColor(255, 255, 255));
  return row;
}
}  // namespace

class FiltersTest : public ImageFixture {};

TEST_F(FiltersTest, ColourControlsMatchTheCPU) {
  struct Case {
    QColor in;
    double saturation, brightness, contrast;
  };
  const Case cases[] = {
      {QColor(200, 100, 50), 1, 0, 1},        // identity
      {QColor(200, 100, 50), 0, 0, 1},        // grey
      {QColor(200, 100, 50), 2, 0, 1},        // oversaturated, clipped
      {QColor(20, 180, 90, 128), 1, 0.2, 1},  // brighter; alpha kept
      {QColor(20, 180, 90), 1, -0.1, 2.5},   {QColor(120, 130, 140), 0.5, 0.05, 0.25},
  };
  onRenderThread([&] {
    auto filter = make("CIColorControls");
    for (const Case& c : cases) {
      filter->setValue(QVariant::fromValue(solid(c.in, QRectF(0, 0, 2, 2))), "inputImage");
      filter->setValue(c.saturation, "inputSaturation");
      filter->setValue(c.brightness, "inputBrightness");
      filter->setValue(c.contrast, "inputContrast");
      const Image out = filter->outputImage();
      EXPECT_EQ(out.extent(), QRectF(0, 0, 2, 2));
      EXPECT_TRUE(near(at(out, 0, 0), colourControls(c.in, c.saturation, c.brightness, c.contrast)))
          << c.saturation << " " << c.brightness << " " << c.contrast;
    }
  });
}

TEST_F(FiltersTest, MovesAndScalesPlaceTheTextureWithoutRendering) {
  onRenderThread([&] {
    QImage two(2, 1, QImage::Format_RGBA8888);
    two.setPixelColor(0, 0, QColor(255, 0, 0));
    two.setPixelColor(1, 0, QColor(0, 0, 255));
    const Image source = picture(two);
    auto filter = make("CIAffineTransform");
    filter->setValue(QVariant::fromValue(source), "inputImage");
    QTransform t;
    t.translate(10, 20);
    t.scale(2, 3);
    filter->setValue(QVariant::fromValue(t), "inputTransform");
    const Image out = filter->outputImage();
    EXPECT_TRUE(out.texture().sameTexture(source.texture()));
    EXPECT_EQ(out.extent(), QRectF(10, 20, 4, 3));
    // The outer pixels of the stretched image are the source's own, the
    // inner ones lie between the two.
    EXPECT_TRUE(near(at(out, 10, 21), QColor(255, 0, 0)));
    EXPECT_TRUE(near(at(out, 11, 21), QColor(191, 0, 64)));
    EXPECT_TRUE(near(at(out, 13, 22), QColor(0, 0, 255)));
    // Six numbers as a stored project keeps them: a, b, c, d, tx, ty.
    filter->setValue(QVariantList{1, 0, 0, 1, -1, 0}, "inputTransform");
    EXPECT_EQ(filter->outputImage().extent(), QRectF(-1, 0, 2, 1));
  });
}

TEST_F(FiltersTest, RotationsAndMirrorsRender) {
  // 2 × 1: red at x 0, blue at x 1.
  QImage two(2, 1, QImage::Format_RGBA8888);
  two.setPixelColor(0, 0, QColor(255, 0, 0));
  two.setPixelColor(1, 0, QColor(0, 0, 255));
  struct Case {
    const char* what;
    QTransform transform;
    QRectF extent;
    QPointF red, blue;  // lower left corners of the two pixels afterwards
  };
  const Case cases[] = {
      {"quarter turn", QTransform(0, 1, -1, 0, 0, 0), QRectF(-1, 0, 1, 2), {-1, 0}, {-1, 1}},
      {"mirror", QTransform(-1, 0, 0, 1, 0, 0), QRectF(-2, 0, 2, 1), {-1, 0}, {-2, 0}},
  };
  onRenderThread([&] {
    const Image source = picture(two);
    for (const Case& c : cases) {
      const Image out = source.byApplyingTransform(c.transform);
      EXPECT_FALSE(out.texture().sameTexture(source.texture())) << c.what;
      EXPECT_EQ(out.extent(), c.extent) << c.what;
      EXPECT_TRUE(near(at(out, c.red.x(), c.red.y()), QColor(255, 0, 0))) << c.what;
      EXPECT_TRUE(near(at(out, c.blue.x(), c.blue.y()), QColor(0, 0, 255))) << c.what;
    }
  });
}

TEST_F(FiltersTest, ResamplingAHalfTransparentEdgeLeavesNoDarkFringe) {
  onRenderThread([&] {
    // Red over transparent black: straight interpolation would darken the edge.
    QImage edge(2, 1, QImage::Format_RGBA8888);
    edge.setPixelColor(0, 0, QColor(255, 0, 0));
    edge.setPixelColor(1, 0, QColor(0, 0, 0, 0));
    const Image out = picture(edge).byApplyingTransform(QTransform(0, 1, -1, 0, 0, 0) *
                                                        QTransform::fromScale(4, 4));
    for (int y = 0; y < 8; ++y) {
      const QColor c = at(out, -2, y);
      if (c.alpha() > 8) {
        EXPECT_GE(c.red(), 245) << "row " << y << " alpha " << c.alpha();
      }
    }
  });
}

TEST_F(FiltersTest, TheBlurKeepsTheExtentAndSpreadsLikeAGaussian) {
  const int width = 11, hot = 5;
  const double radius = 1.5;
  onRenderThread([&] {
    auto blur = make("CIGaussianBlur");
    const Image source =
        picture(impulseRow(width, hot)).byApplyingTransform(QTransform::fromTranslate(3, 7));
    blur->setValue(QVariant::fromValue(source), "inputImage");
    blur->setValue(radius, "inputRadius");
    const Image out = blur->outputImage();
    EXPECT_EQ(out.extent(), source.extent());
    // One row: the vertical pass leaves only the centre weight; premultiplied
    // spread, straight out: colour stays white, alpha follows the weights.
    const image::GaussianBlurFilter::Taps taps = image::GaussianBlurFilter::tapsFor(radius);
    const double centre = taps.weights[0];
    for (int x = 0; x < width; ++x) {
      const int k = std::abs(x - hot);
      const double weight = k < int(taps.weights.size()) ? taps.weights[k] : 0.0;
      const QColor got = at(out, 3 + x, 7);
      EXPECT_NEAR(got.alphaF(), weight * centre, 3.0 / 255) << "x " << x;
      if (got.alpha() > 16) {
        EXPECT_GE(got.red(), 240) << "x " << x;
      }
    }
  });
}

TEST_F(FiltersTest, BlurWeightsAreNormalisedAndWideBlursSpaceTheirTaps) {
  struct Case {
    double radius;
    float spacing;
  };
  const Case cases[] = {{0.5, 1}, {10, 1}, {21, 1}, {22, 2}, {100, 5}};
  for (const Case& c : cases) {
    const auto taps = image::GaussianBlurFilter::tapsFor(c.radius);
    double sum = taps.weights[0];
    for (std::size_t k = 1; k < taps.weights.size(); ++k) sum += 2 * taps.weights[k];
    EXPECT_NEAR(sum, 1.0, 1e-5) << c.radius;
    EXPECT_EQ(taps.spacing, c.spacing) << c.radius;
    EXPECT_LE(taps.weights.size(), std::size_t(image::GaussianBlurFilter::kMaxTaps + 1));
  }
}

TEST_F(FiltersTest, AZeroRadiusBlurIsTheImageItselfAndAWideOneKeepsFlatColour) {
  onRenderThread([&] {
    auto blur = make("CIGaussianBlur");
    const Image flat = solid(QColor(40, 200, 120), QRectF(0, 0, 300, 3));
    blur->setValue(QVariant::fromValue(flat), "inputImage");
    blur->setValue(0.0, "inputRadius");
    EXPECT_TRUE(blur->outputImage().texture().sameTexture(flat.texture()));
    blur->setValue(40.0, "inputRadius");
    const Image wide = blur->outputImage();
    EXPECT_EQ(wide.extent(), flat.extent());
    const QColor middle = at(wide, 150, 1);
    EXPECT_TRUE(near(QColor(middle.red(), middle.green(), middle.blue()), QColor(40, 200, 120), 3));
    EXPECT_LT(at(wide, 0, 1).alpha(), middle.alpha()) << "fades at the edges";
  });
}

TEST_F(FiltersTest, TheColourGeneratorTakesColoursAndLists) {
  onRenderThread([&] {
    auto generator = make("CIConstantColorGenerator");
    EXPECT_TRUE(near(at(generator->outputImage(), 3, 3), QColor(0, 0, 0)));
    generator->setValue(QVariantList{1.0, 0.5, 0.0, 0.5}, "inputColor");
    EXPECT_TRUE(near(at(generator->outputImage(), -40, 9), QColor(255, 128, 0, 128)));
    generator->setValue(QColor(10, 20, 30), "inputColor");
    const Image out = generator->outputImage();
    EXPECT_TRUE(out.isInfinite());
    EXPECT_TRUE(near(at(out, 1e6, -1e6), QColor(10, 20, 30)));
  });
}

// The compositing family against the same operations computed on the CPU.
#include "platform/image/CompositingFilter.h"
#include "platform/image/FilterRegistry.h"
#include "tests/support/ImageFixture.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

using image::Image;

namespace {

struct Rgba {
  double r, g, b, a;
};
using Op = std::function<Rgba(Rgba s, Rgba b)>;  // straight in, straight out

Rgba fromQ(const QColor& c) { return {c.redF(), c.greenF(), c.blueF(), c.alphaF()}; }
QColor toQ(Rgba c) {
  auto clamp = [](double v) { return std::clamp(v, 0.0, 1.0); };
  return QColor::fromRgbF(float(clamp(c.r)), float(clamp(c.g)), float(clamp(c.b)),
                          float(clamp(c.a)));
}

// Porter-Duff operations on premultiplied colour.
Op porterDuff(std::function<double(double s, double sa, double b, double ba)> f) {
  return [f](Rgba s, Rgba b) {
    const double ps[] = {s.r * s.a, s.g * s.a, s.b * s.a, s.a};
    const double pb[] = {b.r * b.a, b.g * b.a, b.b * b.a, b.a};
    double out[4];
    for (int i = 0; i < 4; ++i) out[i] = std::clamp(f(ps[i], s.a, pb[i], b.a), 0.0, 1.0);
    if (out[3] <= 0) return Rgba{0, 0, 0, 0};
    return Rgba{out[0] / out[3], out[1] / out[3], out[2] / out[3], out[3]};
  };
}

// Blend modes: B(cs, cb) where both cover, each image alone elsewhere.
Op blendMode(std::function<void(const double* cs, const double* cb, double* out)> blend) {
  return [blend](Rgba s, Rgba b) {
    const double cs[] = {s.r, s.g, s.b}, cb[] = {b.r, b.g, b.b};
    double mixed[3];
    blend(cs, cb, mixed);
    const double a = s.a + b.a - s.a * b.a;
    if (a <= 0) return Rgba{0, 0, 0, 0};
    double c[3];
    for (int i = 0; i < 3; ++i)
      c[i] = ((1 - b.a) * s.a * cs[i] + (1 - s.a) * b.a * cb[i] +
              s.a * b.a * std::clamp(mixed[i], 0.0, 1.0)) /
             a;
    return Rgba{c[0], c[1], c[2], a};
  };
}

Op separable(std::function<double(double cs, double cb)> f) {
  return blendMode([f](const double* cs, const double* cb, double* out) {
    for (int i = 0; i < 3; ++i) out[i] = f(cs[i], cb[i]);
  });
}

double lum(const double* c) { return 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2]; }
void setLum(const double* c, double l, double* out) {
  const double d = l - lum(c);
  double x[3] = {c[0] + d, c[1] + d, c[2] + d};
  const double ll = lum(x);
  const double n = std::min({x[0], x[1], x[2]}), m = std::max({x[0], x[1], x[2]});
  for (double& v : x) {
    if (n < 0) v = ll + (v - ll) * ll / (ll - n);
    if (m > 1) v = ll + (v - ll) * (1 - ll) / (m - ll);
  }
  std::copy(x, x + 3, out);
}
double sat(const double* c) { return std::max({c[0], c[1], c[2]}) - std::min({c[0], c[1], c[2]}); }
void setSat(const double* c, double s, double* out) {
  const double n = std::min({c[0], c[1], c[2]}), m = std::max({c[0], c[1], c[2]});
  for (int i = 0; i < 3; ++i) out[i] = m > n ? (c[i] - n) * s / (m - n) : 0;
}

double hardLight(double cs, double cb) {
  return cs <= 0.5 ? 2 * cs * cb : 1 - 2 * (1 - cs) * (1 - cb);
}

const std::map<std::string, Op>& operations() {
  static const std::map<std::string, Op> ops = {
      {"CISourceOverCompositing",
       porterDuff([](double s, double sa, double b, double) { return s + b * (1 - sa); })},
      {"CISourceAtopCompositing",
       porterDuff([](double s, double sa, double b, double ba) { return s * ba + b * (1 - sa); })},
      {"CISourceInCompositing",
       porterDuff([](double s, double, double, double ba) { return s * ba; })},
      {"CISourceOutCompositing",
       porterDuff([](double s, double, double, double ba) { return s * (1 - ba); })},
      {"CIAdditionCompositing",
       porterDuff([](double s, double, double b, double) { return s + b; })},
      {"CIMultiplyCompositing",
       porterDuff([](double s, double, double b, double) { return s * b; })},
      {"CIMaximumCompositing",
       porterDuff([](double s, double, double b, double) { return std::max(s, b); })},
      {"CIMinimumCompositing",
       porterDuff([](double s, double, double b, double) { return std::min(s, b); })},
      {"CIMultiplyBlendMode", separable([](double s, double b) { return s * b; })},
      {"CIScreenBlendMode", separable([](double s, double b) { return s + b - s * b; })},
      {"CIScreenCompositing", separable([](double s, double b) { return s + b - s * b; })},
      {"CIOverlayBlendMode", separable([](double s, double b) { return hardLight(b, s); })},
      {"CIHardLightBlendMode", separable(hardLight)},
      {"CIDarkenBlendMode", separable([](double s, double b) { return std::min(s, b); })},
      {"CILightenBlendMode", separable([](double s, double b) { return std::max(s, b); })},
      {"CIDifferenceBlendMode", separable([](double s, double b) { return std::abs(s - b); })},
      {"CIExclusionBlendMode", separable([](double s, double b) { return s + b - 2 * s * b; })},
      {"CIColorDodgeBlendMode", separable([](double s, double b) {
         return b <= 0 ? 0 : s >= 1 ? 1 : std::min(1.0, b / (1 - s));
       })},
      {"CIColorBurnBlendMode", separable([](double s, double b) {
         return b >= 1 ? 1 : s <= 0 ? 0 : 1 - std::min(1.0, (1 - b) / s);
       })},
      {"CISoftLightBlendMode", separable([](double s, double b) {
         const double d = b <= 0.25 ? ((16 * b - 12) * b + 4) * b : std::sqrt(b);
         return s <= 0.5 ? b - (1 - 2 * s) * b * (1 - b) : b + (2 * s - 1) * (d - b);
       })},
      {"CIHueBlendMode", blendMode([](const double* s, const double* b, double* o) {
         double t[3];
         setSat(s, sat(b), t);
         setLum(t, lum(b), o);
       })},
      {"CISaturationBlendMode", blendMode([](const double* s, const double* b, double* o) {
         double t[3];
         setSat(b, sat(s), t);
         setLum(t, lum(b), o);
       })},
      {"CIColorBlendMode",
       blendMode([](const double* s, const double* b, double* o) { setLum(s, lum(b), o); })},
      {"CILuminosityBlendMode",
       blendMode([](const double* s, const double* b, double* o) { setLum(b, lum(s), o); })},
  };
  return ops;
}

// Pairs of (image, background) colours: opaque, half transparent (the edge
// case that catches colour multiplied twice), transparent, and colours on
// both sides of the blend modes' mid-grey switches.
const std::vector<std::pair<QColor, QColor>>& colourPairs() {
  static const std::vector<std::pair<QColor, QColor>> pairs = {
      {QColor(255, 0, 0), QColor(0, 0, 255)},
      {QColor(200, 100, 50, 128), QColor(40, 160, 220)},
      {QColor(30, 200, 90), QColor(250, 120, 10, 96)},
      {QColor(180, 60, 230, 160), QColor(60, 220, 140, 200)},
      {QColor(0, 0, 0, 0), QColor(90, 90, 200)},
      {QColor(240, 20, 130), QColor(0, 0, 0, 0)},
      {QColor(64, 128, 192), QColor(192, 96, 32)},
  };
  return pairs;
}

}  // namespace

class CompositingFilterTest : public ImageFixture {};

TEST_F(CompositingFilterTest, EachOperationMatchesItsValuesComputedOnTheCPU) {
  onRenderThread([&] {
    for (const auto& [name, op] : operations()) {
      std::shared_ptr<image::Filter> filter =
          image::FilterRegistry::shared().filterWithName(QString::fromStdString(name));
      ASSERT_TRUE(filter) << name;
      for (const auto& [front, back] : colourPairs()) {
        filter->setValue(QVariant::fromValue(solid(front, QRectF(0, 0, 2, 2))), "inputImage");
        filter->setValue(QVariant::fromValue(solid(back, QRectF(0, 0, 2, 2))),
                         "inputBackgroundImage");
        const Image out = filter->outputImage();
        ASSERT_FALSE(out.isNull()) << name;
        const QColor expected = toQ(op(fromQ(front), fromQ(back)));
        const QColor got = at(out, 1, 1);
        // Where nothing covers, the colour of a transparent pixel is moot.
        if (expected.alpha() == 0) {
          EXPECT_EQ(got.alpha(), 0) << name;
          continue;
        }
        EXPECT_TRUE(near(got, expected, 3))
            << name << " with " << front.name(QColor::HexArgb).toStdString() << " over "
            << back.name(QColor::HexArgb).toStdString();
      }
    }
  });
}

TEST_F(CompositingFilterTest, TheResultCoversWhatTheOperationDefines) {
  struct Case {
    const char* name;
    QRectF expected;
  };
  // The image covers (0, 0, 4, 4), the background (2, 1, 4, 2).
  const Case cases[] = {
      {"CISourceOverCompositing", QRectF(0, 0, 6, 4)},
      {"CISourceAtopCompositing", QRectF(2, 1, 4, 2)},
      {"CISourceInCompositing", QRectF(2, 1, 2, 2)},
      {"CISourceOutCompositing", QRectF(0, 0, 4, 4)},
      {"CIMultiplyBlendMode", QRectF(0, 0, 6, 4)},
  };
  onRenderThread([&] {
    const Image front = solid(QColor(255, 0, 0), QRectF(0, 0, 4, 4));
    const Image back = solid(QColor(0, 0, 255), QRectF(2, 1, 4, 2));
    for (const Case& c : cases) {
      auto filter = image::FilterRegistry::shared().filterWithName(c.name);
      filter->setValue(QVariant::fromValue(front), "inputImage");
      filter->setValue(QVariant::fromValue(back), "inputBackgroundImage");
      const Image out = filter->outputImage();
      EXPECT_EQ(out.extent(), c.expected) << c.name;
    }
    // Source over: the background shows beyond the image, nothing beyond both.
    auto over = image::FilterRegistry::shared().filterWithName("CISourceOverCompositing");
    over->setValue(QVariant::fromValue(front), "inputImage");
    over->setValue(QVariant::fromValue(back), "inputBackgroundImage");
    const Image out = over->outputImage();
    EXPECT_TRUE(near(at(out, 1, 1), QColor(255, 0, 0)));
    EXPECT_TRUE(near(at(out, 5, 2), QColor(0, 0, 255)));
    EXPECT_EQ(at(out, 5, 0).alpha(), 0);
  });
}

TEST_F(CompositingFilterTest, AMissingImageGivesNoResult) {
  onRenderThread([&] {
    auto filter = image::FilterRegistry::shared().filterWithName("CISourceAtopCompositing");
    filter->setValue(QVariant::fromValue(solid(Qt::red, QRectF(0, 0, 2, 2))), "inputImage");
    EXPECT_TRUE(filter->outputImage().isNull());
    filter->setValue(QVariant::fromValue(solid(Qt::red, QRectF(0, 0, 2, 2))),
                     "inputBackgroundImage");
    filter->setValue(QVariant(), "inputImage");
    EXPECT_TRUE(filter->outputImage().isNull());
  });
}

TEST_F(CompositingFilterTest, CompositingOverAnEndlessColourStaysEndless) {
  onRenderThread([&] {
    auto colour = image::FilterRegistry::shared().filterWithName("CIConstantColorGenerator");
    colour->setValue(QColor(0, 255, 0), "inputColor");
    const Image green = colour->outputImage();
    ASSERT_TRUE(green.isInfinite());
    EXPECT_TRUE(near(at(green, -5000, 12345), QColor(0, 255, 0)));

    auto over = image::FilterRegistry::shared().filterWithName("CISourceOverCompositing");
    over->setValue(QVariant::fromValue(solid(QColor(255, 0, 0, 128), QRectF(10, 10, 4, 4))),
                   "inputImage");
    over->setValue(QVariant::fromValue(green), "inputBackgroundImage");
    const Image out = over->outputImage();
    EXPECT_TRUE(out.isInfinite());
    EXPECT_TRUE(near(at(out, 11, 11), QColor(128, 127, 0), 3));
    for (const QPointF p : {QPointF(0, 0), QPointF(9, 11), QPointF(500, -300), QPointF(14, 14)})
      EXPECT_TRUE(near(at(out, p.x(), p.y()), QColor(0, 255, 0))) << p.x() << "," << p.y();
  });
}

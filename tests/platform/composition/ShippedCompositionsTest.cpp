#include "tests/platform/composition/CompositionFixture.h"

#include "framework/render/QCUtils.h"
#include "platform/composition/CompositionFormat.h"
#include "platform/foundation/Paths.h"
#include "tests/support/LogCapture.h"

#include <QVector4D>

#include <algorithm>
#include <cmath>

// Every composition we ship is read, validated as what it is used as and
// rendered; the pixels follow the formulas of docs/COMPOSITIONS.md,
// worked out here on the CPU from the same 8-bit inputs.

using namespace composition;

namespace {

using Rgba = QVector4D;  // straight, 0…1

Rgba rgba(const QColor& c) { return Rgba(c.redF(), c.greenF(), c.blueF(), c.alphaF()); }
QColor colour(const Rgba& c) {
  return QColor::fromRgbF(std::clamp(c.x(), 0.f, 1.f), std::clamp(c.y(), 0.f, 1.f),
                          std::clamp(c.z(), 0.f, 1.f), std::clamp(c.w(), 0.f, 1.f));
}
QVector3D rgb(const Rgba& c) { return c.toVector3D(); }
float luma(const QVector3D& c) {
  return QVector3D::dotProduct(c, QVector3D(0.2126f, 0.7152f, 0.0722f));
}

Rgba crossfade(Rgba f, Rgba b, float o, float) {
  const QVector3D p = rgb(b) * b.w() * (1 - o) + rgb(f) * f.w() * o;
  const float a = b.w() * (1 - o) + f.w() * o;
  return a > 0 ? Rgba(p / a, a) : Rgba();
}

Rgba lumaKey(Rgba f, Rgba b, float o, float) {
  const float k = f.w() * luma(rgb(f)) * o;
  const float a = k + b.w() * (1 - k);
  return a > 0 ? Rgba((rgb(f) * k + rgb(b) * b.w() * (1 - k)) / a, a) : Rgba();
}

// `x` is the pixel centre's position across the image (0…1).
Rgba wipe(Rgba f, Rgba b, float o, float x) { return x < o ? f : b; }

using Formula = Rgba (*)(Rgba, Rgba, float, float);

struct CompMode {
  const char* file;
  Formula formula;
};

void PrintTo(const CompMode& mode, std::ostream* out) { *out << mode.file; }

const CompMode kCompModes[] = {
    {"Crossfade.qtz", crossfade}, {"Luma Key.qtz", lumaKey}, {"Wipe.qtz", wipe}};

// Four pixels in a row, opaque and half-transparent ones among them.
QImage row(std::initializer_list<QColor> colours) {
  QImage image(int(colours.size()), 1, QImage::Format_RGBA8888);
  int x = 0;
  for (const QColor& c : colours) image.setPixelColor(x++, 0, c);
  return image;
}

const QImage& foreground() {
  static const QImage image =
      row({Qt::red, QColor(0, 255, 0, 128), QColor(200, 200, 200), QColor(0, 0, 0, 0)});
  return image;
}

const QImage& background() {
  static const QImage image =
      row({Qt::blue, QColor(255, 255, 0), QColor(0, 0, 0, 128), QColor(128, 128, 128)});
  return image;
}

class ShippedComposition : public CompositionFixture {
 protected:
  std::shared_ptr<QCRenderer> load(const QString& path) {
    QString error;
    auto doc = CompositionDocument::load(path, &error);
    EXPECT_TRUE(doc) << error.toStdString();
    return doc ? rendererOf(doc) : nullptr;
  }
};

class ShippedCompMode : public ShippedComposition,
                        public ::testing::WithParamInterface<CompMode> {};

}  // namespace

TEST_F(ShippedComposition, BlackIsOpaqueBlack) {
  auto renderer = load(Paths::resourcePath("black", kCompositionExtension));
  ASSERT_TRUE(renderer);
  EXPECT_TRUE(renderer->inputKeys().isEmpty());
  const QImage out = render(*renderer, QSize(3, 2));
  ASSERT_FALSE(out.isNull());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_TRUE(near(out.pixelColor(x, y), QColor(0, 0, 0, 255)));
}

TEST_P(ShippedCompMode, IsAValidCompModeWhosePixelsFollowItsFormula) {
  const QString path = QCUtils::pathForQCCompModeNamed(GetParam().file);
  ASSERT_FALSE(path.isEmpty());
  {
    LogCapture log;  // valid on its own merits, not by the folder's leniency
    EXPECT_TRUE(QCUtils::isValidQCCompModeAtPath(path));
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join("\n").toStdString();
  }
  auto renderer = load(path);
  ASSERT_TRUE(renderer);
  EXPECT_EQ(renderer->inputKeys(), (QStringList{"foreground", "background", "opacity"}));
  for (const float opacity : {0.f, 0.5f, 1.f}) {
    const QImage out = render(*renderer, QSize(4, 1), 0, [&] {
      renderer->setImage("foreground", imageTexture(foreground()));
      renderer->setImage("background", imageTexture(background()));
      renderer->setNumber("opacity", opacity);
    });
    ASSERT_FALSE(out.isNull());
    for (int x = 0; x < 4; ++x) {
      const Rgba expected =
          GetParam().formula(rgba(foreground().pixelColor(x, 0)),
                             rgba(background().pixelColor(x, 0)), opacity, (x + 0.5f) / 4);
      EXPECT_TRUE(near(out.pixelColor(x, 0), colour(expected), 3))
          << "opacity " << opacity << ", pixel " << x;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(All, ShippedCompMode, ::testing::ValuesIn(kCompModes),
                         [](const auto& info) {
                           std::string name = info.param.file;
                           name.erase(std::remove_if(name.begin(), name.end(),
                                                     [](char c) { return !std::isalnum(c); }),
                                      name.end());
                           return name;
                         });

TEST_F(ShippedComposition, TheCrossfadeIsTheDefaultCompMode) {
  EXPECT_EQ(QCUtils::defaultQCCompModePath(), QStringLiteral("Crossfade.qtz"));
}

namespace {

struct TintCase {
  const char* name;
  double amount;
  bool invert;
  QColor tint;
  int mode;
  double measure;
};

void PrintTo(const TintCase& c, std::ostream* out) { *out << c.name; }

Rgba tint(Rgba c, const TintCase& p) {
  const QVector3D colour = p.invert ? QVector3D(1, 1, 1) - rgb(c) : rgb(c);
  const Rgba t = rgba(p.tint);
  const QVector3D tinted = p.mode == 1 ? rgb(t) * luma(colour) : colour * rgb(t);
  const float k = float(std::clamp(p.amount, 0.0, 1.0)) * t.w() *
                  float(1 - 0.5 * (p.measure - std::floor(p.measure)));
  return Rgba(colour + (tinted - colour) * k, c.w());
}

const TintCase kTintCases[] = {
    {"Defaults", 0.5, false, QColor(255, 128, 0), 0, 0},
    {"Full", 1, false, QColor(0, 128, 255), 0, 0},
    {"None", 0, true, QColor(0, 128, 255), 0, 0},
    {"Inverted", 1, true, QColor(255, 255, 255), 0, 0},
    {"ByLuma", 1, false, QColor(255, 0, 0), 1, 0},
    {"HalfWayThroughTheMeasure", 1, false, QColor(0, 0, 255), 0, 2.5},
};

class ShippedTint : public ShippedComposition, public ::testing::WithParamInterface<TintCase> {};

}  // namespace

TEST_P(ShippedTint, IsAValidEffectWhosePixelsFollowItsFormula) {
  const QString path = QCUtils::pathForQCFXNamed("Tint.qtz");
  ASSERT_FALSE(path.isEmpty());
  {
    LogCapture log;
    EXPECT_TRUE(QCUtils::isValidQCFXAtPath(path));
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join("\n").toStdString();
  }
  auto renderer = load(path);
  ASSERT_TRUE(renderer);
  EXPECT_EQ(renderer->inputKeys(), (QStringList{"inputImage", "amount", "invert", "tintColor",
                                                "mode", "MeasurePosition"}));
  const TintCase& p = GetParam();
  const QImage out = render(*renderer, QSize(4, 1), 0, [&] {
    renderer->setImage("inputImage", imageTexture(foreground()));
    renderer->setNumber("amount", p.amount);
    renderer->setBoolean("invert", p.invert);
    renderer->setColor("tintColor", p.tint);
    renderer->setIndex("mode", p.mode);
    renderer->setNumber("MeasurePosition", p.measure);
  });
  ASSERT_FALSE(out.isNull());
  for (int x = 0; x < 4; ++x) {
    const Rgba expected = tint(rgba(foreground().pixelColor(x, 0)), p);
    if (expected.w() == 0) continue;  // the colour of a transparent pixel is no one's business
    EXPECT_TRUE(near(out.pixelColor(x, 0), colour(expected), 3)) << "pixel " << x;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ShippedTint, ::testing::ValuesIn(kTintCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The geometry, colour and composite filters: attributes, initial values,
// setters, and their pixels against the same maths on the CPU.
#include "framework/filters/CustomKernelFilter.h"
#include "platform/image/FilterKeys.h"
#include "tests/framework/filters/BuiltInFilters.h"
#include "tests/support/ImageFixture.h"
#include "tests/support/LogCapture.h"

#include <QVector2D>
#include <QVector4D>

#include <cmath>
#include <functional>

using namespace FilterKeys;
using image::FilterRegistry;
using image::Image;

namespace {

const QStringList kSecondGroup{"AddModulus",      "Luma",   "QKZoom",        "SourceAtop_QK",
                               "ChromaMask",      "XYZoom", "LayerPosition", "BWDuotone",
                               "TwoColorDuotone", "FlipH",  "FlipV",         "QKColorControls",
                               "Crop_QK"};

TEST(SecondGroupRegistry, CompositesAreCompModesTheRestAreEffects) {
  FilterRegistry registry;
  CustomFilters::initialize(registry);
  const QStringList composites =
      registry.filterNamesInCategories({kCategoryCompositeOperation, kCategoryVideo});
  EXPECT_EQ(composites, (QStringList{"AddModulus", "Luma", "SourceAtop_QK"}));
  const QStringList browserCategories{kCategoryDistortionEffect,
                                      kCategoryGeometryAdjustment,
                                      kCategoryHalftoneEffect,
                                      kCategoryColorAdjustment,
                                      kCategoryColorEffect,
                                      kCategoryTileEffect,
                                      kCategoryStylize,
                                      kCategorySharpen,
                                      kCategoryBlur};
  QStringList effects;
  for (const QString& name : kSecondGroup)
    for (const QString& category : browserCategories)
      if (registry.filterNamesInCategories({category, kCategoryVideo}).contains(name)) {
        effects << name;
        break;
      }
  EXPECT_EQ(effects.size(), 10);  // every one but the composites
  for (const QString& name : composites) EXPECT_FALSE(effects.contains(name));
}

TEST(SecondGroupRegistry, NamesVectorsAndColoursAreDescribed) {
  FilterRegistry registry;
  CustomFilters::initialize(registry);
  auto attributes = [&](const char* filter) { return registry.attributesForFilter(filter); };
  EXPECT_EQ(attributes("QKZoom").value(kFilterDisplayName).toString(), "Zoom (QK)");
  EXPECT_EQ(attributes("QKZoom").value(kFilterCategories).toStringList(),
            (QStringList{kCategoryGeometryAdjustment, kCategoryDistortionEffect, kCategoryVideo}));
  EXPECT_EQ(attributes("QKZoom").value("center").toMap(), (QVariantMap{{kType, kTypePosition}}));
  EXPECT_EQ(attributes("XYZoom").value(kFilterDisplayName).toString(), "X/Y Zoom (QK)");
  EXPECT_TRUE(attributes("ChromaMask")
                  .value(kDescription)
                  .toString()
                  .startsWith("A bad chroma "
                              "mask.  It"));
  EXPECT_FALSE(attributes("AddModulus").contains(kDescription));
  EXPECT_EQ(attributes("SourceAtop_QK").value(kFilterDisplayName).toString(), "Source Atop-QK");

  const QVariantMap position = attributes("LayerPosition").value("center").toMap();
  EXPECT_EQ(position.value(kType).toString(), kTypePosition);
  EXPECT_EQ(position.value(kDisplayName).toString(), "Center");
  EXPECT_EQ(position.value(kClass).toString(), kClassVector);
  EXPECT_EQ(position.value(kDefault).value<QVector2D>(), QVector2D(150, 150));
  const QVariantMap crop = attributes("Crop_QK").value("center").toMap();
  EXPECT_EQ(crop.value(kType).toString(), kTypeRectangle);
  EXPECT_EQ(crop.value(kDefault).value<QVector4D>(), QVector4D(0, 40, 320, 200));
  for (const auto& [filter, key] : {std::pair{"ChromaMask", "keyColor"},
                                    {"TwoColorDuotone", "highColor"},
                                    {"TwoColorDuotone", "lowColor"}}) {
    const QVariantMap colour = attributes(filter).value(QLatin1String(key)).toMap();
    EXPECT_EQ(colour.value(kClass).toString(), kClassColor) << key;
    EXPECT_EQ(colour.value(kType).toString(), kTypeOpaqueColor) << key;
  }
  // Saturation is set by key only: no panel offers it.
  EXPECT_FALSE(attributes("QKColorControls").contains("saturation"));
}

struct InitialCase {
  const char* filter;
  const char* key;
  QVariant value;
};

TEST(SecondGroupSetters, NewFiltersHoldTheirInitialValues) {
  const InitialCase cases[] = {
      {"QKZoom", "level", 1.0},
      {"QKZoom", "center", QPointF(0.5, 0.5)},
      {"XYZoom", "levelX", 1.0},
      {"XYZoom", "levelY", 1.0},
      {"XYZoom", "center", QPointF(0.5, 0.5)},
      {"LayerPosition", "center", QPointF(150, 150)},
      {"Crop_QK", "center", QRectF(0, 40, 320, 200)},
      {"ChromaMask", "range", 0.0},
      {"ChromaMask", "keyColor", QColor::fromRgbF(0, 0, 0, 1)},
      {"BWDuotone", "range", 0.5},
      {"TwoColorDuotone", "range", 0.5},
      {"TwoColorDuotone", "highColor", QColor::fromRgbF(0, 1, 0, 1)},
      {"TwoColorDuotone", "lowColor", QColor::fromRgbF(1, 0, 0, 1)},
      {"QKColorControls", "contrast", 1.0},
      {"QKColorControls", "brightness", 0.0},
      {"QKColorControls", "saturation", 1.0},
  };
  for (const InitialCase& c : cases)
    EXPECT_EQ(makeBuiltIn(c.filter)->value(c.key), c.value) << c.filter << " " << c.key;
}

TEST(SecondGroupSetters, NothingWrongTypesAndNonFiniteValuesAreIgnored) {
  const QVariant bad[] = {QVariant(), QStringLiteral("2"), std::nan(""), INFINITY,
                          QVariantList{1, "x"}};
  const InitialCase cases[] = {
      {"QKZoom", "level", 2.0},
      {"QKZoom", "center", QPointF(0.25, 0.75)},
      {"Crop_QK", "center", QRectF(1, 2, 3, 4)},
      {"ChromaMask", "keyColor", QColor::fromRgbF(0.5, 0.25, 1, 1)},
      {"QKColorControls", "saturation", 0.5},
  };
  for (const InitialCase& c : cases) {
    const auto filter = makeBuiltIn(c.filter);
    filter->setValue(c.value, c.key);
    for (const QVariant& value : bad) filter->setValue(value, c.key);
    filter->setValue(QVariantList{1, 2, std::nan("")}, c.key);
    EXPECT_EQ(filter->value(c.key), c.value) << c.filter << " " << c.key;
  }
  // Vectors and lists are read as the parameter's kind.
  const auto crop = makeBuiltIn("Crop_QK");
  crop->setValue(QVariant::fromValue(QVector4D(5, 6, 7, 8)), "center");
  EXPECT_EQ(crop->value("center").toRectF(), QRectF(5, 6, 7, 8));
  const auto zoom = makeBuiltIn("QKZoom");
  zoom->setValue(QVariantList{0.1, 0.2}, "center");
  EXPECT_EQ(zoom->value("center").toPointF(), QPointF(0.1, 0.2));
  zoom->setValue(20.0, "level");
  EXPECT_EQ(zoom->value("level").toDouble(), 10.0);
}

// Premultiplied RGBA from 0 to 1.
using Premul = QVector4D;

Premul premultiplied(const QColor& c) {
  return Premul(float(c.redF() * c.alphaF()), float(c.greenF() * c.alphaF()),
                float(c.blueF() * c.alphaF()), float(c.alphaF()));
}

QColor straight(const Premul& p) {
  if (p.w() <= 0) return QColor(0, 0, 0, 0);
  auto unit = [](double v) { return float(std::clamp(v, 0.0, 1.0)); };
  return QColor::fromRgbF(unit(p.x() / p.w()), unit(p.y() / p.w()), unit(p.z() / p.w()),
                          unit(p.w()));
}

// A picture of the image plane on the CPU (y up): straight colours,
// transparent beyond its rectangle.
struct Plane {
  QRect rect;
  std::function<QColor(int x, int y)> colour;

  QColor at(int x, int y) const { return rect.contains(x, y) ? colour(x, y) : QColor(0, 0, 0, 0); }
  // Bilinear between pixel centres, on premultiplied colour.
  Premul bilinear(QPointF p) const {
    const double tx = p.x() - 0.5, ty = p.y() - 0.5;
    const int x = int(std::floor(tx)), y = int(std::floor(ty));
    const float fx = float(tx - x), fy = float(ty - y);
    auto mixed = [](Premul a, Premul b, float f) { return a * (1 - f) + b * f; };
    return mixed(mixed(premultiplied(at(x, y)), premultiplied(at(x + 1, y)), fx),
                 mixed(premultiplied(at(x, y + 1)), premultiplied(at(x + 1, y + 1)), fx), fy);
  }
};

// Four columns: opaque red, opaque green, half-transparent blue and
// transparent, each row a little different so that every move shows.
const Plane kPicture{QRect(0, 0, 4, 4), [](int x, int y) {
                       switch (x) {
                         case 0:
                           return QColor(255, 40 * y, 0);
                         case 1:
                           return QColor(30 * y, 200, 0);
                         case 2:
                           return QColor(0, 50 * y, 255, 128);
                         default:
                           return QColor(60 * y, 0, 0, 0);
                       }
                     }};

double luma(const QColor& c) {
  return 0.2125 * c.redF() + 0.7154 * c.greenF() + 0.0721 * c.blueF();
}

QColor withAlpha(QColor c, int alpha) {
  c.setAlpha(alpha);
  return c;
}

class SecondGroupGL : public ImageFixture {
 protected:
  static Image inputPicture() {
    QImage rows(4, 4, QImage::Format_RGBA8888);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) rows.setPixelColor(x, 3 - y, kPicture.at(x, y));
    return picture(rows);
  }
  // Every pixel of `bounds` against `expected` (premultiplied, within 3 of
  // 255 a channel).
  static void expectPixels(const Image& out, const QRect& bounds,
                           const std::function<Premul(int x, int y)>& expected) {
    const QImage got = pixels(out, QRectF(bounds));
    ASSERT_FALSE(got.isNull());
    for (int y = bounds.top(); y <= bounds.bottom(); ++y)
      for (int x = bounds.left(); x <= bounds.right(); ++x) {
        const Premul actual = premultiplied(got.pixelColor(x - bounds.left(), bounds.bottom() - y));
        const Premul want = expected(x, y);
        for (int i = 0; i < 4; ++i)
          EXPECT_NEAR(actual[i], want[i], 3.5 / 255)
              << "pixel " << x << "," << y << " channel " << i;
      }
  }
};

struct PixelCase {
  const char* name;
  const char* filter;
  QVariantMap parameters;
  std::function<Premul(int x, int y)> expected;
};

Premul same(int x, int y) { return premultiplied(kPicture.at(x, y)); }
QPointF centre(int x, int y) { return QPointF(x + 0.5, y + 0.5); }

TEST_F(SecondGroupGL, EachKernelMatchesTheCPU) {
  const PixelCase cases[] = {
      // At their initial values these change nothing.
      {"ZoomIdentity", "QKZoom", {}, same},
      {"XYZoomIdentity", "XYZoom", {}, same},
      {"PositionIdentity", "LayerPosition", {}, same},
      {"ChromaIdentity", "ChromaMask", {}, same},
      {"ColorControlsIdentity", "QKColorControls", {}, same},
      // Resampled on premultiplied colour: no dark fringe by the clear column.
      {"ZoomIn",
       "QKZoom",
       {{"level", 2.0}},
       [](int x, int y) {
         const QPointF c(2, 2);
         return kPicture.bilinear(c + (centre(x, y) - c) / 2);
       }},
      {"ZoomOutAboutTheCorner",
       "QKZoom",
       {{"level", 0.5}, {"center", QPointF(0, 0)}},
       [](int x, int y) { return kPicture.bilinear(centre(x, y) * 2); }},
      {"XYZoom",
       "XYZoom",
       {{"levelX", 2.0}, {"levelY", 1.0}, {"center", QPointF(0.25, 0.5)}},
       [](int x, int y) {
         const QPointF p = centre(x, y);
         return kPicture.bilinear(QPointF(1 + (p.x() - 1) / 2, p.y()));
       }},
      {"Position",
       "LayerPosition",
       {{"center", QPointF(151, 149)}},
       [](int x, int y) { return premultiplied(kPicture.at(x - 1, y + 1)); }},
      {"FlipH", "FlipH", {}, [](int x, int y) { return same(3 - x, y); }},
      {"FlipV", "FlipV", {}, [](int x, int y) { return same(x, 3 - y); }},
      {"CropInitialMissesASmallImage", "Crop_QK", {}, [](int, int) { return Premul(); }},
      {"Crop",
       "Crop_QK",
       {{"center", QRectF(1, 1, 2, 2)}},
       [](int x, int y) { return QRect(1, 1, 2, 2).contains(x, y) ? same(x, y) : Premul(); }},
      {"ChromaKeysRedWhateverTheKeysAlpha",
       "ChromaMask",
       {{"keyColor", QColor::fromRgbF(1, 0, 0, 0.2f)}, {"range", 0.3}},
       [](int x, int y) {
         const QColor c = kPicture.at(x, y);
         const double d = std::hypot(c.redF() - 1, c.greenF(), c.blueF());
         return premultiplied(d < 0.3 ? withAlpha(c, 0) : c);
       }},
      {"BWDuotone",
       "BWDuotone",
       {},
       [](int x, int y) {
         const QColor c = kPicture.at(x, y);
         return premultiplied(withAlpha(luma(c) > 0.5 ? Qt::white : Qt::black, c.alpha()));
       }},
      {"BWDuotoneLow",
       "BWDuotone",
       {{"range", 0.1}},
       [](int x, int y) {
         const QColor c = kPicture.at(x, y);
         return premultiplied(withAlpha(luma(c) > 0.1 ? Qt::white : Qt::black, c.alpha()));
       }},
      {"TwoColorsKeepTheImagesAlpha",
       "TwoColorDuotone",
       {{"range", 0.3},
        {"highColor", QColor::fromRgbF(0, 0, 1, 0.5f)},
        {"lowColor", QColor::fromRgbF(1, 1, 0, 1)}},
       [](int x, int y) {
         const QColor c = kPicture.at(x, y);
         return premultiplied(
             withAlpha(luma(c) > 0.3 ? QColor(0, 0, 255) : QColor(255, 255, 0), c.alpha()));
       }},
      {"TwoColorsInitial",
       "TwoColorDuotone",
       {},
       [](int x, int y) {
         const QColor c = kPicture.at(x, y);
         return premultiplied(withAlpha(luma(c) > 0.5 ? Qt::green : Qt::red, c.alpha()));
       }},
      {"ColorControls",
       "QKColorControls",
       {{"contrast", 2.0}, {"brightness", 0.1}, {"saturation", 0.0}},
       [](int x, int y) {
         const QColor c = kPicture.at(x, y);
         const float v = float(std::clamp((luma(c) + 0.1 - 0.5) * 2 + 0.5, 0.0, 1.0));
         return premultiplied(QColor::fromRgbF(v, v, v, c.alphaF()));
       }},
  };
  onRenderThread([&] {
    const Image input = inputPicture();
    for (const PixelCase& c : cases) {
      SCOPED_TRACE(c.name);
      const auto filter = makeBuiltIn(QLatin1String(c.filter));
      ASSERT_TRUE(filter);
      filter->setValue(QVariant::fromValue(input), kInputImage);
      for (auto it = c.parameters.cbegin(); it != c.parameters.cend(); ++it)
        filter->setValue(it.value(), it.key());
      const Image out = filter->outputImage();
      EXPECT_EQ(out.extent(), QRectF(0, 0, 4, 4));  // never beyond the input
      expectPixels(out, QRect(0, 0, 4, 4), c.expected);
    }
  });
}

// The zooms work out their map once per frame from the centre, the levels
// and the input's extent: about the centre wherever the image lies, at
// levels whose inverse rounds.
TEST_F(SecondGroupGL, ZoomsScaleAboutTheirCentreWhereverTheImageLies) {
  struct ZoomCase {
    const char* filter;
    QPointF centre;
    double levelX, levelY;
  };
  const ZoomCase cases[] = {{"QKZoom", QPointF(0.3, 0.6), 3, 3},
                            {"QKZoom", QPointF(1, 0), 0.7, 0.7},
                            {"XYZoom", QPointF(0.5, 0.25), 1.5, 0.4}};
  const QPoint offset(3, -2);
  const Plane moved{kPicture.rect.translated(offset),
                    [&](int x, int y) { return kPicture.at(x - offset.x(), y - offset.y()); }};
  onRenderThread([&] {
    const Image input =
        inputPicture().byApplyingTransform(QTransform::fromTranslate(offset.x(), offset.y()));
    for (const ZoomCase& c : cases) {
      SCOPED_TRACE(testing::Message() << c.filter << " " << c.levelX << " " << c.levelY);
      const auto filter = makeBuiltIn(QLatin1String(c.filter));
      ASSERT_TRUE(filter);
      filter->setValue(QVariant::fromValue(input), kInputImage);
      filter->setValue(c.centre, "center");
      if (QLatin1String(c.filter) == QLatin1String("QKZoom")) {
        filter->setValue(c.levelX, "level");
      } else {
        filter->setValue(c.levelX, "levelX");
        filter->setValue(c.levelY, "levelY");
      }
      const Image out = filter->outputImage();
      EXPECT_EQ(out.extent(), QRectF(moved.rect));
      const QPointF middle(offset.x() + 4 * c.centre.x(), offset.y() + 4 * c.centre.y());
      expectPixels(out, moved.rect, [&](int x, int y) {
        const QPointF p = centre(x, y) - middle;
        return moved.bilinear(middle + QPointF(p.x() / c.levelX, p.y() / c.levelY));
      });
    }
  });
}

struct CompositeCase {
  const char* filter;
  std::function<Premul(const QColor& s, const QColor& b)> expected;
};

TEST_F(SecondGroupGL, CompositesCoverTheUnionWithTheBackground) {
  const CompositeCase cases[] = {
      {"AddModulus",
       [](const QColor& s, const QColor& b) {
         auto wrap = [](double v) { return float(v >= 1 + 1.0 / 512 ? v - 1 : v); };
         const double a = s.alphaF();
         return premultiplied(
             QColor::fromRgbF(wrap(b.redF() + s.redF() * a), wrap(b.greenF() + s.greenF() * a),
                              wrap(b.blueF() + s.blueF() * a), float(a + b.alphaF() * (1 - a))));
       }},
      {"Luma",
       [](const QColor& s, const QColor& b) {
         const Premul keyed = premultiplied(s) * float(luma(s));
         return keyed + premultiplied(b) * (1 - keyed.w());
       }},
      {"SourceAtop_QK",
       [](const QColor& s, const QColor& b) {
         return premultiplied(s) * float(b.alphaF()) + premultiplied(b) * float(1 - s.alphaF());
       }},
  };
  const QColor backColour(100, 150, 200);
  const Plane back{QRect(2, 2, 4, 4), [&](int, int) { return backColour; }};
  onRenderThread([&] {
    const Image input = inputPicture();
    const Image background = solid(backColour, QRectF(2, 2, 4, 4));
    for (const CompositeCase& c : cases) {
      SCOPED_TRACE(c.filter);
      const auto filter = makeBuiltIn(QLatin1String(c.filter));
      // Missing either image: the background, or nothing.
      filter->setValue(QVariant::fromValue(background), kInputBackgroundImage);
      const Image alone = filter->outputImage();
      EXPECT_EQ(alone.extent(), background.extent());
      EXPECT_TRUE(near(at(alone, 3, 3), backColour));
      filter->setValue(QVariant::fromValue(input), kInputImage);
      filter->setValue(QVariant::fromValue(Image()), kInputBackgroundImage);
      EXPECT_TRUE(filter->outputImage().isNull());

      filter->setValue(QVariant::fromValue(background), kInputBackgroundImage);
      const Image out = filter->outputImage();
      EXPECT_EQ(out.extent(), QRectF(0, 0, 6, 6));
      expectPixels(out, QRect(0, 0, 6, 6),
                   [&](int x, int y) { return c.expected(kPicture.at(x, y), back.at(x, y)); });
    }
  });
}

TEST_F(SecondGroupGL, ACompositeWhoseKernelCannotRunGivesTheBackgroundLoggedOnce) {
  const CustomFilterSpec spec{.name = QStringLiteral("TestNoCompositeKernel"),
                              .displayName = QStringLiteral("No Kernel"),
                              .kernel = QStringLiteral("NoSuchCompositeKernel"),
                              .shape = CustomFilterSpec::Shape::Composite};
  LogCapture log;
  onRenderThread([&] {
    CustomKernelFilter filter(spec.name, spec);
    const QColor back(20, 40, 60);
    filter.setValue(QVariant::fromValue(solid(Qt::white, QRectF(0, 0, 2, 2))), kInputImage);
    filter.setValue(QVariant::fromValue(solid(back, QRectF(0, 0, 2, 2))), kInputBackgroundImage);
    EXPECT_TRUE(near(at(filter.outputImage(), 0, 0), back));
    filter.outputImage();
  });
  EXPECT_EQ(log.lines().filter(QStringLiteral("TestNoCompositeKernel")).size(), 1);
}

}  // namespace

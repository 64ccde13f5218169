// The built-in filters: registration, attributes, setters, and each
// kernel against its values computed on the CPU.
#include "framework/filters/CustomFilters.h"
#include "framework/filters/CustomKernelFilter.h"
#include "framework/filters/LayerMask.h"
#include "framework/filters/QKFilterAlpha.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "tests/framework/filters/BuiltInFilters.h"
#include "tests/support/ImageFixture.h"
#include "tests/support/LogCapture.h"

#include <QVector2D>

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>

using namespace FilterKeys;
using image::Filter;
using image::FilterRegistry;
using image::Image;

namespace {

std::shared_ptr<Filter> make(const QString& name) { return makeBuiltIn(name); }

double channel(double v) { return std::clamp(v, 0.0, 1.0); }

QColor mapRgb(const QColor& in, const std::function<double(double)>& f) {
  return QColor::fromRgbF(float(channel(f(in.redF()))), float(channel(f(in.greenF()))),
                          float(channel(f(in.blueF()))), in.alphaF());
}

TEST(CustomFiltersRegistry, RegistersEveryMemberOnceInOrder) {
  FilterRegistry registry;
  LogCapture log;
  CustomFilters::initialize(registry);
  CustomFilters::initialize(registry);
  EXPECT_EQ(log.lines().count(QString::fromLatin1(CustomFilters::kInitializeLine)), 2);
  EXPECT_FALSE(log.contains(QStringLiteral("already")));
  const QStringList expected{"QKFilterAlpha",   "QKFilterFullAlpha",
                             "AlphaMask",       "LayerMask",
                             "ChannelSlide",    "MotionBlur",
                             "Contrast",        "Bright",
                             "FadeToBlack",     "FrameHoldManual",
                             "AddModulus",      "Luma",
                             "QKZoom",          "RGB_Trails",
                             "SourceAtop_QK",   "ChromaMask",
                             "XYZoom",          "LayerPosition",
                             "BWDuotone",       "TwoColorDuotone",
                             "FlipH",           "FlipV",
                             "QKColorControls", "Crop_QK"};
  EXPECT_EQ(CustomFilters::memberNames(), expected);
  EXPECT_EQ(registry.filterNamesInCategory(QString()), expected);
  // Every member but the companion of the opacity filter is a video filter.
  EXPECT_EQ(registry.filterNamesInCategory(kCategoryVideo).size(), expected.size() - 1);
  const QVariantMap fullAlpha = registry.attributesForFilter(QStringLiteral("QKFilterFullAlpha"));
  EXPECT_FALSE(fullAlpha.contains(kFilterCategories));
  EXPECT_FALSE(fullAlpha.contains(kFilterDisplayName));
  for (const QString& name : expected) {
    const auto filter = registry.filterWithName(name);
    ASSERT_TRUE(filter) << name.toStdString();
    EXPECT_TRUE(filter->inputKeys().contains(kInputImage));
    EXPECT_TRUE(filter->outputKeys().contains(kOutputImage));
  }
}

struct AttributeRow {
  const char* filter;
  const char* key;
  double min, max, defaultValue, identity;
  bool basicSet;
};

TEST(CustomFiltersRegistry, AttributeRowsAreTheTable) {
  FilterRegistry registry;
  CustomFilters::initialize(registry);
  const AttributeRow rows[] = {
      {"QKFilterAlpha", "Opacity", 0, 1, 1, 1, false},
      {"Bright", "bright", -1, 1, 0, 0, true},
      {"Contrast", "contrast", -4, 4, 1, 1, true},
      {"AlphaMask", "contrast", -4, 4, 1, 1, true},
      {"AlphaMask", "offset", -1, 1, 0, 0, true},
      {"LayerMask", "contrast", -4, 4, 1, 1, true},
      {"LayerMask", "offset", -1, 1, 0, 0, true},
      {"ChannelSlide", "rOffset", 0, 1.001, 0, 0, true},
      {"ChannelSlide", "aOffset", 0, 1.001, 0, 0, true},
      {"RGB_Trails", "rWeight", 0, 1, 0, 0, true},
      {"RGB_Trails", "aWeight", 0, 1, 0, 0, true},
      {"MotionBlur", "amount", 0, 1, 0, 0, true},
      {"QKZoom", "level", 0.01, 10, 1, 1, true},
      {"XYZoom", "levelX", 0.01, 10, 1, 1, true},
      {"XYZoom", "levelY", 0.01, 10, 1, 1, true},
      {"ChromaMask", "range", 0, 1, 0, 0, true},
      {"BWDuotone", "range", 0, 1, 0.5, 0.5, true},
      {"TwoColorDuotone", "range", 0, 1, 0.5, 0.5, true},
      {"QKColorControls", "contrast", -2, 2, 1, 1, true},
      {"QKColorControls", "brightness", -1.25, 1.25, 0, 0, true},
  };
  for (const AttributeRow& row : rows) {
    SCOPED_TRACE(std::string(row.filter) + " " + row.key);
    const QVariantMap attribute =
        registry.attributesForFilter(row.filter).value(QLatin1String(row.key)).toMap();
    EXPECT_EQ(attribute.value(kMin).toDouble(), row.min);
    EXPECT_EQ(attribute.value(kMax).toDouble(), row.max);
    EXPECT_EQ(attribute.value(kSliderMin).toDouble(), row.min);
    EXPECT_EQ(attribute.value(kSliderMax).toDouble(), row.max);
    EXPECT_EQ(attribute.value(kDefault).toDouble(), row.defaultValue);
    EXPECT_EQ(attribute.value(kIdentity).toDouble(), row.identity);
    EXPECT_EQ(attribute.value(kType).toString(), kTypeScalar);
    EXPECT_EQ(attribute.contains(kUIParameterSet), row.basicSet);
  }
  const QVariantMap alpha = registry.attributesForFilter(QStringLiteral("QKFilterAlpha"));
  EXPECT_EQ(alpha.value(kFilterDisplayName).toString(), QStringLiteral("QKOpacityAdjust"));
  EXPECT_FALSE(alpha.contains(kDescription));
  EXPECT_FALSE(alpha.contains(QKFilterAlpha::kAlphaNumber));
  const QVariantMap layerMask = registry.attributesForFilter(QStringLiteral("LayerMask"));
  EXPECT_EQ(layerMask.value(kFilterDisplayName).toString(), QStringLiteral("Layer Mask"));
  EXPECT_TRUE(layerMask.value(kDescription).toString().contains("fit your source!  Resembles"));
  EXPECT_EQ(layerMask.value("maskImage").toMap().value(kClass).toString(), kClassImage);
  EXPECT_EQ(registry.attributesForFilter("FrameHoldManual").value("offset").toMap(),
            (QVariantMap{{kType, kTypePosition}}));
  EXPECT_EQ(registry.attributesForFilter("FadeToBlack").value(kFilterCategories).toStringList(),
            (QStringList{kCategoryColorEffect, kCategoryVideo}));
}

TEST(CustomFiltersSetters, NothingIsIgnoredNumbersAreClampedAndMustBeFinite) {
  const auto bright = make(QStringLiteral("Bright"));
  EXPECT_EQ(bright->value("bright").toDouble(), 0.0);
  bright->setValue(0.25, "bright");
  bright->setValue(QVariant(), "bright");
  EXPECT_EQ(bright->value("bright").toDouble(), 0.25);
  bright->setValue(std::nan(""), "bright");
  bright->setValue(INFINITY, "bright");
  EXPECT_EQ(bright->value("bright").toDouble(), 0.25);
  bright->setValue(5.0, "bright");
  EXPECT_EQ(bright->value("bright").toDouble(), 1.0);
  EXPECT_EQ(make(QStringLiteral("Contrast"))->value("contrast").toDouble(), 1.0);

  const auto alpha = make(QKFilterAlpha::kName);
  EXPECT_EQ(alpha->value(QKFilterAlpha::kAlphaNumber).toDouble(), 1.0);
  alpha->setValue(1.5, QKFilterAlpha::kAlphaNumber);
  EXPECT_EQ(alpha->value(QKFilterAlpha::kAlphaNumber).toDouble(), 1.0);
  alpha->setValue(QVariant(), QKFilterAlpha::kAlphaNumber);  // stored: the factor is 0
  EXPECT_FALSE(alpha->value(QKFilterAlpha::kAlphaNumber).isValid());

  const auto hold = make(QStringLiteral("FrameHoldManual"));
  hold->setValue(QVariant::fromValue(QVector2D(3, 4)), "offset");
  EXPECT_EQ(hold->value("offset").toPointF(), QPointF(3, 4));
  hold->setValue(QVariantList{1, 2}, "offset");
  EXPECT_EQ(hold->value("offset").toPointF(), QPointF(1, 2));
  hold->setValue(QStringLiteral("nonsense"), "offset");
  EXPECT_EQ(hold->value("offset").toPointF(), QPointF(1, 2));
}

struct FitCase {
  const char* name;
  QRectF input;
  QRectF mask;
  QRectF fitted;  // the mask's extent after fitting; empty: no transform
};

TEST(LayerMaskFit, FitsTheMaskOntoTheInput) {
  const FitCase cases[] = {
      {"Double", {0, 0, 640, 480}, {0, 0, 320, 240}, {0, 0, 640, 480}},
      {"Squeezed", {0, 0, 640, 480}, {0, 0, 1280, 360}, {0, 0, 640, 480}},
      {"MaskAway", {0, 0, 640, 480}, {10, 20, 320, 240}, {0, 0, 640, 480}},
      {"InputAway", {5, 7, 100, 50}, {0, 0, 50, 25}, {5, 7, 100, 50}},
      {"EmptyMask", {0, 0, 640, 480}, {0, 0, 0, 240}, {}},
      {"EmptyInput", {0, 0, 0, 0}, {0, 0, 10, 10}, {}},
  };
  for (const FitCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<QTransform> fit = LayerMask::maskTransform(c.input, c.mask);
    if (c.fitted.isEmpty()) {
      EXPECT_FALSE(fit);
      continue;
    }
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->mapRect(c.mask), c.fitted);
  }
  const QTransform squeeze = *LayerMask::maskTransform({0, 0, 640, 480}, {0, 0, 1280, 360});
  EXPECT_DOUBLE_EQ(squeeze.m11(), 0.5);
  EXPECT_DOUBLE_EQ(squeeze.m22(), 4.0 / 3.0);
}

class CustomFiltersGL : public ImageFixture {};

struct PixelCase {
  const char* name;
  const char* filter;
  QVariantMap parameters;
  std::function<QColor(const QColor&)> expected;
};

// Each member on a solid colour: at its initial settings (identity where
// it has one) and at settings of its own.
TEST_F(CustomFiltersGL, EachKernelMatchesTheCPU) {
  const QColor in(200, 100, 40, 200);
  const auto same = [](const QColor& c) { return c; };
  const PixelCase cases[] = {
      {"AlphaIdentity", "QKFilterAlpha", {}, same},
      {"AlphaHalf",
       "QKFilterAlpha",
       {{"alphaNumber", 0.5}},
       [](QColor c) { return QColor(c.red(), c.green(), c.blue(), 100); }},
      {"AlphaZero",
       "QKFilterAlpha",
       {{"alphaNumber", 0.0}},
       [](QColor c) { return QColor(c.red(), c.green(), c.blue(), 0); }},
      {"FullAlpha",
       "QKFilterFullAlpha",
       {},
       [](QColor c) { return QColor(c.red(), c.green(), c.blue(), 255); }},
      {"AlphaMaskNoMask", "AlphaMask", {}, same},
      {"LayerMaskNoMask", "LayerMask", {}, same},
      {"ChannelSlideIdentity", "ChannelSlide", {}, same},
      {"ChannelSlide",
       "ChannelSlide",
       {{"rOffset", 0.5}, {"gOffset", 0.25}, {"aOffset", 0.1}},
       [](QColor c) {
         auto slide = [](double v, double o) {
           return v + o >= 1.0 + 1.0 / 512 ? v + o - 1 : v + o;
         };
         return QColor::fromRgbF(float(slide(c.redF(), 0.5)), float(slide(c.greenF(), 0.25)),
                                 c.blueF(), float(slide(c.alphaF(), 0.1)));
       }},
      {"ContrastIdentity", "Contrast", {}, same},
      {"ContrastDouble",
       "Contrast",
       {{"contrast", 2.0}},
       [](QColor c) { return mapRgb(c, [](double v) { return (v - 0.5) * 2 + 0.5; }); }},
      {"ContrastNegative",
       "Contrast",
       {{"contrast", -1.0}},
       [](QColor c) { return mapRgb(c, [](double v) { return 1 - v; }); }},
      {"BrightIdentity", "Bright", {}, same},
      {"Bright",
       "Bright",
       {{"bright", 0.2}},
       [](QColor c) { return mapRgb(c, [](double v) { return v + 0.2; }); }},
      {"Darker",
       "Bright",
       {{"bright", -0.3}},
       [](QColor c) { return mapRgb(c, [](double v) { return v - 0.3; }); }},
      {"FadeToBlack", "FadeToBlack", {}, [](QColor c) { return QColor(0, 0, 0, c.alpha()); }},
      {"FrameHoldIdentity", "FrameHoldManual", {}, same},
  };
  onRenderThread([&] {
    for (const PixelCase& c : cases) {
      SCOPED_TRACE(c.name);
      const auto filter = make(QLatin1String(c.filter));
      filter->setValue(QVariant::fromValue(solid(in, QRectF(0, 0, 4, 2))), kInputImage);
      for (auto it = c.parameters.cbegin(); it != c.parameters.cend(); ++it)
        filter->setValue(it.value(), it.key());
      const Image out = filter->outputImage();
      EXPECT_EQ(out.extent(), QRectF(0, 0, 4, 2));
      EXPECT_TRUE(near(at(out, 1, 1), c.expected(in), 3));
    }
  });
}

TEST_F(CustomFiltersGL, OpacityWithoutAFactorOrAnInput) {
  onRenderThread([&] {
    const auto alpha = make(QKFilterAlpha::kName);
    EXPECT_TRUE(alpha->outputImage().isNull());
    alpha->setValue(QVariant::fromValue(solid(QColor(10, 20, 30), QRectF(0, 0, 2, 2))),
                    kInputImage);
    alpha->setValue(QVariant(), QKFilterAlpha::kAlphaNumber);
    const Image out = alpha->outputImage();
    EXPECT_EQ(out.extent(), QRectF(0, 0, 2, 2));
    EXPECT_EQ(at(out, 0, 0).alpha(), 0);
    EXPECT_TRUE(make(QStringLiteral("QKFilterFullAlpha"))->outputImage().isNull());
    EXPECT_TRUE(make(QStringLiteral("Bright"))->outputImage().isNull());
  });
}

TEST_F(CustomFiltersGL, FrameHoldWrapsAnAsymmetricImage) {
  QImage row(3, 1, QImage::Format_RGBA8888);
  row.setPixelColor(0, 0, QColor(255, 0, 0));
  row.setPixelColor(1, 0, QColor(0, 255, 0));
  row.setPixelColor(2, 0, QColor(0, 0, 255));
  onRenderThread([&] {
    const auto hold = make(QStringLiteral("FrameHoldManual"));
    hold->setValue(QVariant::fromValue(picture(row)), kInputImage);
    hold->setValue(QPointF(1, 0), "offset");
    const Image out = hold->outputImage();
    EXPECT_TRUE(near(at(out, 0, 0), QColor(0, 0, 255)));
    EXPECT_TRUE(near(at(out, 1, 0), QColor(255, 0, 0)));
    EXPECT_TRUE(near(at(out, 2, 0), QColor(0, 255, 0)));
  });
}

TEST_F(CustomFiltersGL, MasksKeyByLumaAndTheLayerMaskFitsItsMask) {
  const QColor in(200, 100, 40);
  onRenderThread([&] {
    const Image input = solid(in, QRectF(0, 0, 8, 8));
    // A grey mask: the key is its luma, shaped by contrast and offset.
    struct KeyCase {
      double contrast, offset;
      int alpha;
    };
    const KeyCase keys[] = {{1, 0, 128}, {2, 0, 129}, {1, 0.25, 192}, {0, 0, 128}, {1, -1, 0}};
    const auto alphaMask = make(QStringLiteral("AlphaMask"));
    alphaMask->setValue(QVariant::fromValue(input), kInputImage);
    alphaMask->setValue(QVariant::fromValue(solid(QColor(128, 128, 128), QRectF(0, 0, 8, 8))),
                        "maskImage");
    for (const KeyCase& k : keys) {
      alphaMask->setValue(k.contrast, "contrast");
      alphaMask->setValue(k.offset, "offset");
      EXPECT_TRUE(near(at(alphaMask->outputImage(), 3, 3),
                       QColor(in.red(), in.green(), in.blue(), k.alpha), 3))
          << k.contrast << " " << k.offset;
    }

    // AlphaMask does not fit a small mask: beyond it the image is keyed out.
    const Image smallWhite = solid(Qt::white, QRectF(0, 0, 4, 4));
    alphaMask->setValue(1.0, "contrast");
    alphaMask->setValue(0.0, "offset");
    alphaMask->setValue(QVariant::fromValue(smallWhite), "maskImage");
    EXPECT_EQ(at(alphaMask->outputImage(), 1, 1).alpha(), 255);
    EXPECT_EQ(at(alphaMask->outputImage(), 6, 6).alpha(), 0);

    // LayerMask fits it, wherever its extent starts.
    const auto layerMask = make(QStringLiteral("LayerMask"));
    layerMask->setValue(QVariant::fromValue(input), kInputImage);
    for (const Image& mask :
         {smallWhite, smallWhite.byApplyingTransform(QTransform::fromTranslate(10, 20))}) {
      layerMask->setValue(QVariant::fromValue(mask), "maskImage");
      const Image out = layerMask->outputImage();
      EXPECT_EQ(out.extent(), QRectF(0, 0, 8, 8));
      EXPECT_EQ(at(out, 1, 1).alpha(), 255);
      EXPECT_EQ(at(out, 6, 6).alpha(), 255);
    }
    // An empty mask leaves the input as it is.
    layerMask->setValue(QVariant::fromValue(Image()), "maskImage");
    EXPECT_TRUE(near(at(layerMask->outputImage(), 6, 6), in));
  });
}

TEST_F(CustomFiltersGL, AKernelThatCannotRunPassesTheInputLoggedOnce) {
  const CustomFilterSpec spec{.name = QStringLiteral("TestNoKernel"),
                              .displayName = QStringLiteral("No Kernel"),
                              .kernel = QStringLiteral("NoSuchKernelAnywhere")};
  LogCapture log;
  onRenderThread([&] {
    CustomKernelFilter filter(spec.name, spec);
    const QColor in(20, 40, 60);
    filter.setValue(QVariant::fromValue(solid(in, QRectF(0, 0, 2, 2))), kInputImage);
    EXPECT_TRUE(near(at(filter.outputImage(), 0, 0), in));
    filter.outputImage();
  });
  EXPECT_EQ(log.lines().filter(QStringLiteral("TestNoKernel")).size(), 1);
  EXPECT_TRUE(CustomFilter::kernelFailureLogged(spec.name));
}

// The mixer and the layers set the factor on another thread than the one
// reading the output; teardown waits for an output under way.
TEST_F(CustomFiltersGL, FactorSetWhileOutputsRun) {
  onRenderThread([&] {
    auto alpha = make(QKFilterAlpha::kName);
    alpha->setValue(QVariant::fromValue(solid(Qt::white, QRectF(0, 0, 2, 2))), kInputImage);
    std::atomic<bool> stop{false};
    std::thread setter([&] {
      for (int i = 0; !stop.load(); ++i)
        alpha->setValue(i % 3 == 0 ? QVariant() : QVariant(double(i % 10) / 10), "alphaNumber");
    });
    for (int i = 0; i < 200; ++i) alpha->outputImage();
    stop = true;
    setter.join();
  });
}

}  // namespace

#include "platform/image/FilterRegistry.h"

#include "platform/image/FilterKeys.h"

#include <gtest/gtest.h>

using image::Filter;
using image::FilterRegistry;
using image::Image;
namespace Keys = FilterKeys;

namespace {
class Doubler : public Filter {
 public:
  explicit Doubler(const QString& name) : Filter(name, {Keys::kInputImage, "amount"}) {}
  Image outputImage() override { return imageInput(Keys::kInputImage); }
  double amount() const { return number("amount", -1); }
};
}  // namespace

TEST(FilterRegistry, CompModeMenusListTheCompositingFamily) {
  const QStringList listed = FilterRegistry::shared().filterNamesInCategories(
      {Keys::kCategoryCompositeOperation, Keys::kCategoryVideo});
  for (const char* name :
       {"CISourceAtopCompositing", "CISourceOverCompositing", "CISourceInCompositing",
        "CISourceOutCompositing",  "CIAdditionCompositing",   "CIMultiplyCompositing",
        "CIMaximumCompositing",    "CIMinimumCompositing",    "CIMultiplyBlendMode",
        "CIScreenBlendMode",       "CIOverlayBlendMode",      "CIDarkenBlendMode",
        "CILightenBlendMode",      "CIColorDodgeBlendMode",   "CIColorBurnBlendMode",
        "CISoftLightBlendMode",    "CIHardLightBlendMode",    "CIDifferenceBlendMode",
        "CIExclusionBlendMode",    "CIHueBlendMode",          "CISaturationBlendMode",
        "CIColorBlendMode",        "CILuminosityBlendMode"})
    EXPECT_TRUE(listed.contains(name)) << name;
  EXPECT_FALSE(listed.contains("CIGaussianBlur"));
  EXPECT_FALSE(listed.contains("CIScreenCompositing")) << "made by name, not listed twice";
  EXPECT_TRUE(FilterRegistry::shared().contains("CIScreenCompositing"));
}

TEST(FilterRegistry, AttributesUseThePublicKeyNamesAsData) {
  const QVariantMap blur = FilterRegistry::shared().attributesForFilter("CIGaussianBlur");
  EXPECT_EQ(blur.value("CIAttributeFilterName").toString(), "CIGaussianBlur");
  EXPECT_EQ(blur.value("CIAttributeFilterDisplayName").toString(), "Gaussian Blur");
  EXPECT_TRUE(blur.value("CIAttributeFilterCategories").toStringList().contains("CICategoryBlur"));
  const QVariantMap radius = blur.value("inputRadius").toMap();
  EXPECT_EQ(radius.value("CIAttributeType").toString(), "CIAttributeTypeDistance");
  EXPECT_EQ(radius.value("CIAttributeClass").toString(), "NSNumber");
  EXPECT_EQ(radius.value("CIAttributeSliderMin").toDouble(), 0.0);
  EXPECT_EQ(radius.value("CIAttributeSliderMax").toDouble(), 100.0);
  EXPECT_EQ(radius.value("CIAttributeDefault").toDouble(), 10.0);
  EXPECT_EQ(radius.value("CIUIParameterSet").toString(), "CIUISetBasic");
  const QVariantMap background = FilterRegistry::shared()
                                     .attributesForFilter("CISourceAtopCompositing")
                                     .value("inputBackgroundImage")
                                     .toMap();
  EXPECT_EQ(background.value("CIAttributeClass").toString(), "CIImage");

  struct Case {
    const char* filter;
    const char* input;
    double min, max, fallback, identity;
  };
  const Case cases[] = {
      {"CIColorControls", "inputSaturation", 0, 2, 1, 1},
      {"CIColorControls", "inputBrightness", -1, 1, 0, 0},
      {"CIColorControls", "inputContrast", 0.25, 4, 1, 1},
  };
  for (const Case& c : cases) {
    const QVariantMap a =
        FilterRegistry::shared().attributesForFilter(c.filter).value(c.input).toMap();
    EXPECT_EQ(a.value("CIAttributeMin").toDouble(), c.min) << c.input;
    EXPECT_EQ(a.value("CIAttributeMax").toDouble(), c.max) << c.input;
    EXPECT_EQ(a.value("CIAttributeDefault").toDouble(), c.fallback) << c.input;
    EXPECT_EQ(a.value("CIAttributeIdentity").toDouble(), c.identity) << c.input;
  }
}

TEST(FilterRegistry, FiltersAreMadeByNameWithTheirKeys) {
  std::shared_ptr<Filter> atop = FilterRegistry::shared().filterWithName("CISourceAtopCompositing");
  ASSERT_TRUE(atop);
  EXPECT_EQ(atop->name(), "CISourceAtopCompositing");
  EXPECT_TRUE(atop->inputKeys().contains("inputImage"));
  EXPECT_TRUE(atop->inputKeys().contains("inputBackgroundImage"));
  EXPECT_EQ(atop->outputKeys(), QStringList{"outputImage"});
  EXPECT_EQ(atop->attributes().value("CIAttributeFilterName").toString(), atop->name());
  EXPECT_FALSE(atop->value("outputImage").isValid()) << "no inputs, no image";
  EXPECT_EQ(FilterRegistry::shared().filterWithName("CINoSuchFilter"), nullptr);
  EXPECT_EQ(FilterRegistry::shared().localizedNameForFilterName("CIAdditionCompositing"),
            "Addition");
  EXPECT_EQ(FilterRegistry::shared().localizedNameForFilterName("CINoSuchFilter"),
            "CINoSuchFilter");
  EXPECT_EQ(FilterRegistry::localizedNameForCategory("CICategoryColorAdjustment"),
            "Color Adjustment");
}

TEST(FilterRegistry, TheProgramRegistersItsOwnFiltersOnce) {
  FilterRegistry registry;
  int made = 0;
  auto constructor = [&made](const QString& name) {
    ++made;
    return std::make_shared<Doubler>(name);
  };
  const QVariantMap attributes{
      {Keys::kFilterDisplayName, "Doubler"},
      {Keys::kFilterCategories, QStringList{Keys::kCategoryColorEffect, Keys::kCategoryVideo}},
      {"amount", QVariantMap{{Keys::kDefault, 2.0}}}};
  EXPECT_TRUE(registry.registerFilterName("Doubler", constructor, attributes));
  EXPECT_FALSE(registry.registerFilterName("Doubler", constructor, {}));
  EXPECT_FALSE(registry.registerFilterName("", constructor, {}));
  EXPECT_FALSE(registry.registerFilterName("NoConstructor", nullptr, {}));
  EXPECT_EQ(registry.filterNamesInCategory(Keys::kCategoryColorEffect), QStringList{"Doubler"});
  EXPECT_EQ(registry.filterNamesInCategory(Keys::kCategoryBlur), QStringList{});
  EXPECT_EQ(registry.filterNamesInCategory(""), QStringList{"Doubler"});

  auto filter = std::static_pointer_cast<Doubler>(registry.filterWithName("Doubler"));
  ASSERT_TRUE(filter);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(filter->attributes().value(Keys::kFilterDisplayName).toString(), "Doubler");
  EXPECT_EQ(filter->amount(), -1) << "no value until set";
  filter->setDefaults();
  EXPECT_EQ(filter->amount(), 2.0);
  filter->setValue("3", "amount");
  EXPECT_EQ(filter->amount(), -1) << "text is not a number";
  filter->setValue(QVariant(), "amount");
  EXPECT_FALSE(filter->value("amount").isValid());
}

#include "platform/image/StandardFilters.h"

#include "platform/image/AffineTransformFilter.h"
#include "platform/image/ColorControlsFilter.h"
#include "platform/image/CompositingFilter.h"
#include "platform/image/ConstantColorGeneratorFilter.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/GaussianBlurFilter.h"

#include <QColor>
#include <QTransform>

namespace image {

namespace {

using namespace FilterKeys;

QVariantMap imageAttribute(const QString& displayName) {
  return {{kClass, kClassImage}, {kType, kTypeImage}, {kDisplayName, displayName}};
}

QVariantMap scalarAttribute(const QString& displayName, const QString& type, double min, double max,
                            double sliderMin, double sliderMax, double fallback, double identity) {
  return {{kClass, kClassNumber},
          {kType, type},
          {kDisplayName, displayName},
          {kMin, min},
          {kMax, max},
          {kSliderMin, sliderMin},
          {kSliderMax, sliderMax},
          {kDefault, fallback},
          {kIdentity, identity},
          {kUIParameterSet, kUISetBasic}};
}

QVariantMap classAttributes(const QString& displayName, const QString& description,
                            const QStringList& categories, const QVariantMap& inputs) {
  QVariantMap attributes = inputs;
  attributes.insert(kFilterDisplayName, displayName);
  attributes.insert(kDescription, description);
  attributes.insert(kFilterCategories, categories);
  return attributes;
}

template <class F, class... Args>
FilterRegistry::Constructor make(Args... args) {
  return [=](const QString& name) -> std::shared_ptr<Filter> {
    return std::make_shared<F>(name, args...);
  };
}

template <class F>
FilterRegistry::Constructor makeFilter() {
  return [](const QString& name) -> std::shared_ptr<Filter> { return std::make_shared<F>(name); };
}

struct Compositing {
  const char* name;
  const char* displayName;
  const char* description;
  CompositingFilter::Extent extent;
  bool listed;  // offered in the video category, so comp-mode menus list it
};

const Compositing kCompositing[] = {
    {"CIAdditionCompositing", "Addition", "Adds the colours of the two images.",
     CompositingFilter::Extent::Union, true},
    {"CIColorBlendMode", "Color Blend Mode",
     "Takes hue and saturation from the image and luminance from the background.",
     CompositingFilter::Extent::Union, true},
    {"CIColorBurnBlendMode", "Color Burn Blend Mode",
     "Darkens the background to reflect the image.", CompositingFilter::Extent::Union, true},
    {"CIColorDodgeBlendMode", "Color Dodge Blend Mode",
     "Brightens the background to reflect the image.", CompositingFilter::Extent::Union, true},
    {"CIDarkenBlendMode", "Darken Blend Mode", "Keeps the darker of the two colours.",
     CompositingFilter::Extent::Union, true},
    {"CIDifferenceBlendMode", "Difference Blend Mode",
     "Subtracts the darker colour from the brighter one.", CompositingFilter::Extent::Union, true},
    {"CIExclusionBlendMode", "Exclusion Blend Mode", "Like the difference, with lower contrast.",
     CompositingFilter::Extent::Union, true},
    {"CIHardLightBlendMode", "Hard Light Blend Mode",
     "Multiplies or screens, depending on the image's colour.", CompositingFilter::Extent::Union,
     true},
    {"CIHueBlendMode", "Hue Blend Mode",
     "Takes the hue of the image with the luminance and saturation of the background.",
     CompositingFilter::Extent::Union, true},
    {"CILightenBlendMode", "Lighten Blend Mode", "Keeps the lighter of the two colours.",
     CompositingFilter::Extent::Union, true},
    {"CILuminosityBlendMode", "Luminosity Blend Mode",
     "Takes the luminance of the image with the hue and saturation of the background.",
     CompositingFilter::Extent::Union, true},
    {"CIMaximumCompositing", "Maximum", "Keeps the larger value of each colour component.",
     CompositingFilter::Extent::Union, true},
    {"CIMinimumCompositing", "Minimum", "Keeps the smaller value of each colour component.",
     CompositingFilter::Extent::Union, true},
    {"CIMultiplyBlendMode", "Multiply Blend Mode",
     "Multiplies the image's colours with the background's.", CompositingFilter::Extent::Union,
     true},
    {"CIMultiplyCompositing", "Multiply", "Multiplies the colour components of the two images.",
     CompositingFilter::Extent::Union, true},
    {"CIOverlayBlendMode", "Overlay Blend Mode",
     "Multiplies or screens, depending on the background's colour.",
     CompositingFilter::Extent::Union, true},
    {"CISaturationBlendMode", "Saturation Blend Mode",
     "Takes the saturation of the image with the hue and luminance of the background.",
     CompositingFilter::Extent::Union, true},
    {"CIScreenBlendMode", "Screen Blend Mode",
     "Multiplies the inverted colours: the result is never darker.",
     CompositingFilter::Extent::Union, true},
    {"CISoftLightBlendMode", "Soft Light Blend Mode",
     "Darkens or lightens, depending on the image's colour.", CompositingFilter::Extent::Union,
     true},
    {"CISourceAtopCompositing", "Source Atop",
     "Places the image over the background where the background is opaque.",
     CompositingFilter::Extent::Background, true},
    {"CISourceInCompositing", "Source In", "Keeps the image where the background is opaque.",
     CompositingFilter::Extent::Intersection, true},
    {"CISourceOutCompositing", "Source Out", "Keeps the image where the background is transparent.",
     CompositingFilter::Extent::Input, true},
    {"CISourceOverCompositing", "Source Over", "Places the image over the background.",
     CompositingFilter::Extent::Union, true},
    // The screen operation under a compositing name; not listed beside the
    // blend mode of the same result.
    {"CIScreenCompositing", "Screen",
     "Multiplies the inverted colours: the result is never darker.",
     CompositingFilter::Extent::Union, false},
};

}  // namespace

void StandardFilters::registerAll(FilterRegistry& registry) {
  const QStringList compositingCategories = {kCategoryCompositeOperation,
                                             kCategoryVideo,
                                             kCategoryStillImage,
                                             kCategoryInterlaced,
                                             kCategoryNonSquarePixels,
                                             kCategoryHighDynamicRange,
                                             kCategoryBuiltIn};
  for (const Compositing& c : kCompositing) {
    QStringList categories = compositingCategories;
    if (!c.listed) categories.removeAll(kCategoryVideo);
    registry.registerFilterName(
        QString::fromLatin1(c.name), make<CompositingFilter>(c.extent),
        classAttributes(
            QString::fromLatin1(c.displayName), QString::fromLatin1(c.description), categories,
            {{kInputImage, imageAttribute(QStringLiteral("Image"))},
             {kInputBackgroundImage, imageAttribute(QStringLiteral("Background Image"))}}));
  }

  registry.registerFilterName(
      QStringLiteral("CIAffineTransform"), makeFilter<AffineTransformFilter>(),
      classAttributes(
          QStringLiteral("Affine Transform"),
          QStringLiteral("Moves, scales, rotates and skews the image."),
          {kCategoryGeometryAdjustment, kCategoryVideo, kCategoryStillImage, kCategoryBuiltIn},
          {{kInputImage, imageAttribute(QStringLiteral("Image"))},
           {QStringLiteral("inputTransform"),
            QVariantMap{{kClass, kClassTransform},
                        {kType, kTypeTransform},
                        {kDisplayName, QStringLiteral("Transform")},
                        {kDefault, QVariant::fromValue(QTransform())},
                        {kIdentity, QVariant::fromValue(QTransform())}}}}));

  registry.registerFilterName(
      QStringLiteral("CIGaussianBlur"), makeFilter<GaussianBlurFilter>(),
      classAttributes(
          QStringLiteral("Gaussian Blur"),
          QStringLiteral("Blurs the image with a Gaussian spread of the given radius."),
          {kCategoryBlur, kCategoryVideo, kCategoryStillImage, kCategoryBuiltIn},
          {{kInputImage, imageAttribute(QStringLiteral("Image"))},
           {QStringLiteral("inputRadius"),
            scalarAttribute(QStringLiteral("Radius"), kTypeDistance, 0, 100, 0, 100, 10, 0)}}));

  registry.registerFilterName(
      QStringLiteral("CIColorControls"), makeFilter<ColorControlsFilter>(),
      classAttributes(
          QStringLiteral("Color Controls"),
          QStringLiteral("Adjusts saturation, brightness and contrast."),
          {kCategoryColorAdjustment, kCategoryVideo, kCategoryStillImage, kCategoryInterlaced,
           kCategoryNonSquarePixels, kCategoryBuiltIn},
          {{kInputImage, imageAttribute(QStringLiteral("Image"))},
           {QStringLiteral("inputSaturation"),
            scalarAttribute(QStringLiteral("Saturation"), kTypeScalar, 0, 2, 0, 2, 1, 1)},
           {QStringLiteral("inputBrightness"),
            scalarAttribute(QStringLiteral("Brightness"), kTypeScalar, -1, 1, -1, 1, 0, 0)},
           {QStringLiteral("inputContrast"),
            scalarAttribute(QStringLiteral("Contrast"), kTypeScalar, 0.25, 4, 0.25, 4, 1, 1)}}));

  registry.registerFilterName(
      QStringLiteral("CIConstantColorGenerator"), makeFilter<ConstantColorGeneratorFilter>(),
      classAttributes(
          QStringLiteral("Constant Color"), QStringLiteral("An image of one colour, without end."),
          {kCategoryGenerator, kCategoryVideo, kCategoryStillImage, kCategoryHighDynamicRange,
           kCategoryBuiltIn},
          {{QStringLiteral("inputColor"), QVariantMap{{kClass, kClassColor},
                                                      {kType, kTypeColor},
                                                      {kDisplayName, QStringLiteral("Color")},
                                                      {kDefault, QColor(0, 0, 0, 255)}}}}));
}

}  // namespace image

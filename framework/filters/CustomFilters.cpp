#include "framework/filters/CustomFilters.h"

#include "framework/filters/CustomKernelFilter.h"
#include "framework/filters/FeedbackFilter.h"
#include "framework/filters/LayerMask.h"
#include "framework/filters/QKFilterAlpha.h"
#include "platform/foundation/Log.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QVector2D>
#include <QVector4D>

#include <functional>

using namespace FilterKeys;

const char* const CustomFilters::kInitializeLine = "CustomFilters:initialize:";

namespace {

using Row = CustomFilter::ScalarRow;
using Shape = CustomFilterSpec::Shape;
using VectorKind = CustomFilterSpec::VectorKind;

void addFeedbackMembers(std::vector<CustomFilterSpec>& specs) {
  specs.push_back({.name = QStringLiteral("RGB_Trails"),
                   .displayName = QStringLiteral("RGB Trails"),
                   .description = QStringLiteral("Indpenendent R, G, and B blurs"),
                   .categories = {kCategoryColorEffect, kCategoryVideo},
                   .kernel = QStringLiteral("RGB_Trails"),
                   .shape = Shape::Feedback,
                   .scalars = {Row{QStringLiteral("rWeight"), 0, 1, 0, 1, 0, 0},
                               Row{QStringLiteral("gWeight"), 0, 1, 0, 1, 0, 0},
                               Row{QStringLiteral("bWeight"), 0, 1, 0, 1, 0, 0},
                               Row{QStringLiteral("aWeight"), 0, 1, 0, 1, 0, 0}},
                   .scalarsPassed = CustomFilterSpec::Scalars::Vector4});
  specs.push_back({.name = QStringLiteral("MotionBlur"),
                   .displayName = QStringLiteral("QKMotion Blur"),
                   .description = QStringLiteral("Feedback-based motion blur"),
                   .categories = {kCategoryBlur, kCategoryVideo},
                   .kernel = QStringLiteral("MotionBlur"),
                   .shape = Shape::Feedback,
                   .scalars = {Row{QStringLiteral("amount"), 0, 1, 0, 1, 0, 0}},
                   .initial = {{QStringLiteral("amount"), 0.5}}});
}

QVariantMap relativeCentre() { return {{kType, kTypePosition}}; }
QVariantMap opaqueColour() { return {{kClass, kClassColor}, {kType, kTypeOpaqueColor}}; }
Row zoomLevel(const char* key) { return Row{QLatin1String(key), 0.01, 10, 0.01, 10, 1, 1}; }
Row unitRange(double identity) {
  return Row{QStringLiteral("range"), 0, 1, 0, 1, identity, identity};
}

// The zooms read image-plane point p at c + (p - c) / level, c being the
// centre given relative to the input's extent: as p * scale + offset, worked
// out here once per pass (arguments: the image, the centre, then one level,
// or the levels across and up).
std::vector<image::KernelArgument> zoomMap(const std::vector<image::KernelArgument>& arguments) {
  if (arguments.size() < 3) return {};
  const auto* input = std::get_if<image::Image>(&arguments[0]);
  const auto* centre = std::get_if<QVector2D>(&arguments[1]);
  const auto* levelX = std::get_if<float>(&arguments[2]);
  const float* levelY = arguments.size() > 3 ? std::get_if<float>(&arguments[3]) : levelX;
  if (!input || !centre || !levelX || !levelY) return {};
  const QRectF e = input->extent();
  const double cx = e.left() + double(centre->x()) * e.width();
  const double cy = e.top() + double(centre->y()) * e.height();
  const double sx = 1.0 / double(*levelX);
  const double sy = 1.0 / double(*levelY);
  return {QVector4D(float(sx), float(sy), float(cx - cx * sx), float(cy - cy * sy))};
}

void addSecondGroup(std::vector<CustomFilterSpec>& specs) {
  const QStringList geometry{kCategoryGeometryAdjustment, kCategoryDistortionEffect,
                             kCategoryVideo};
  const QStringList composite{kCategoryCompositeOperation, kCategoryVideo};
  const QStringList colourEffect{kCategoryColorEffect, kCategoryVideo};
  const QString center = QStringLiteral("center");
  const std::pair<const char*, const char*> composites[] = {
      {"AddModulus", "Add Modulus"}, {"Luma", "Luma"}, {"SourceAtop_QK", "Source Atop-QK"}};
  for (const auto& [name, title] : composites)
    specs.push_back({.name = QLatin1String(name),
                     .displayName = QLatin1String(title),
                     .categories = composite,
                     .kernel = QLatin1String(name),
                     .shape = Shape::Composite});
  specs.push_back({.name = QStringLiteral("QKZoom"),
                   .displayName = QStringLiteral("Zoom (QK)"),
                   .description = QStringLiteral("Simple zooming effect"),
                   .categories = geometry,
                   .kernel = QStringLiteral("QKZoom"),
                   .scalars = {zoomLevel("level")},
                   .vectors = {{center, VectorKind::Point, QPointF(0.5, 0.5), relativeCentre()}},
                   .argumentOrder = {center, QStringLiteral("level")},
                   .derivation = zoomMap});
  specs.push_back({.name = QStringLiteral("ChromaMask"),
                   .displayName = QStringLiteral("Chroma Mask"),
                   .description = QStringLiteral("A bad chroma mask.  It works in the RGB color "
                                                 "space, so color matching is very poor"),
                   .categories = colourEffect,
                   .kernel = QStringLiteral("ChromaMask"),
                   .scalars = {unitRange(0)},
                   .vectors = {{QStringLiteral("keyColor"), VectorKind::Colour,
                                QColor::fromRgbF(0, 0, 0, 1), opaqueColour()}},
                   .argumentOrder = {QStringLiteral("keyColor"), QStringLiteral("range")}});
  specs.push_back({.name = QStringLiteral("XYZoom"),
                   .displayName = QStringLiteral("X/Y Zoom (QK)"),
                   .description = QStringLiteral("Independent X and Y zoom effect"),
                   .categories = geometry,
                   .kernel = QStringLiteral("XYZoom"),
                   .scalars = {zoomLevel("levelX"), zoomLevel("levelY")},
                   .vectors = {{center, VectorKind::Point, QPointF(0.5, 0.5), relativeCentre()}},
                   .argumentOrder = {center, QStringLiteral("levelX"), QStringLiteral("levelY")},
                   .derivation = zoomMap});
  specs.push_back({.name = QStringLiteral("LayerPosition"),
                   .displayName = QStringLiteral("Layer Position"),
                   .description = QStringLiteral("Adjust the image's offset within its bounds"),
                   .categories = geometry,
                   .kernel = QStringLiteral("LayerPosition"),
                   .vectors = {{center, VectorKind::Point, QPointF(150, 150),
                                QVariantMap{{kType, kTypePosition},
                                            {kDisplayName, QStringLiteral("Center")},
                                            {kDefault, QVariant::fromValue(QVector2D(150, 150))},
                                            {kClass, kClassVector}}}}});
  specs.push_back({.name = QStringLiteral("BWDuotone"),
                   .displayName = QStringLiteral("Duotone- BW"),
                   .description = QStringLiteral(
                       "Simple duotone- if the image is brighter than the range, it becomes "
                       "white.  If it's darker, it becomes black."),
                   .categories = colourEffect,
                   .kernel = QStringLiteral("BWDuotone"),
                   .scalars = {unitRange(0.5)}});
  specs.push_back(
      {.name = QStringLiteral("TwoColorDuotone"),
       .displayName = QStringLiteral("Duotone- 2 color"),
       .description = QStringLiteral(
           "2 color duotone: where the image is lighter than the passed range it adopts the "
           "high color.  Where the image is darker than the passed range, it adopts the low "
           "color"),
       .categories = colourEffect,
       .kernel = QStringLiteral("TwoColorDuotone"),
       .scalars = {unitRange(0.5)},
       .vectors = {{QStringLiteral("highColor"), VectorKind::Colour, QColor::fromRgbF(0, 1, 0, 1),
                    opaqueColour()},
                   {QStringLiteral("lowColor"), VectorKind::Colour, QColor::fromRgbF(1, 0, 0, 1),
                    opaqueColour()}},
       .argumentOrder = {QStringLiteral("range"), QStringLiteral("lowColor"),
                         QStringLiteral("highColor")}});
  specs.push_back({.name = QStringLiteral("FlipH"),
                   .displayName = QStringLiteral("Flip H"),
                   .description = QStringLiteral("Flip the image horizontally"),
                   .categories = geometry,
                   .kernel = QStringLiteral("FlipH")});
  specs.push_back({.name = QStringLiteral("FlipV"),
                   .displayName = QStringLiteral("Flip V"),
                   .description = QStringLiteral("Flip the image vertically"),
                   .categories = geometry,
                   .kernel = QStringLiteral("FlipV")});
  specs.push_back({.name = QStringLiteral("QKColorControls"),
                   .displayName = QStringLiteral("QKColorControls"),
                   .description = QStringLiteral("Brightness and contrast controls in one effect"),
                   .categories = {kCategoryColorAdjustment, kCategoryVideo},
                   .kernel = QStringLiteral("QKColorControls"),
                   .scalars = {Row{QStringLiteral("contrast"), -2, 2, -2, 2, 1, 1},
                               Row{QStringLiteral("brightness"), -1.25, 1.25, -1.25, 1.25, 0, 0},
                               // Set by key only: no attribute, so no panel offers it.
                               Row{QStringLiteral("saturation"), 0, 0, 0, 0, 1, 1, true, false}}});
  specs.push_back(
      {.name = QStringLiteral("Crop_QK"),
       .displayName = QStringLiteral("Crop (QK)"),
       .categories = geometry,
       .kernel = QStringLiteral("Crop_QK"),
       .vectors = {{center, VectorKind::Rectangle, QRectF(0, 40, 320, 200),
                    QVariantMap{{kType, kTypeRectangle},
                                {kDisplayName, QStringLiteral("Center")},
                                {kDefault, QVariant::fromValue(QVector4D(0, 40, 320, 200))},
                                {kClass, kClassVector}}}}});
}

const std::vector<CustomFilterSpec>& kernelMembers() {
  static const std::vector<CustomFilterSpec> members = [] {
    const QString maskSentence = QStringLiteral(
        "Take video from a tap source and apply it to the alpha channel- this effect does NOT "
        "resize the mask image!  Resembles a lumakey.");
    std::vector<CustomFilterSpec> specs;
    specs.push_back({.name = QStringLiteral("QKFilterFullAlpha"),
                     .kernel = QStringLiteral("QKFilterFullAlpha")});
    specs.push_back({.name = QStringLiteral("AlphaMask"),
                     .displayName = QStringLiteral("Alpha Mask"),
                     .description = maskSentence,
                     .categories = {kCategoryColorEffect, kCategoryVideo},
                     .kernel = QStringLiteral("AlphaMask"),
                     .images = {QStringLiteral("maskImage")},
                     .scalars = {Row{QStringLiteral("contrast"), -4, 4, -4, 4, 1, 1},
                                 Row{QStringLiteral("offset"), -1, 1, -1, 1, 0, 0}},
                     .inputUnchangedWithoutImages = true});
    specs.push_back(
        {.name = QStringLiteral("ChannelSlide"),
         .displayName = QStringLiteral("Channel Slide"),
         .description = QStringLiteral("Modulate the R, G, and B values of the passed video image"),
         .categories = {kCategoryColorEffect, kCategoryVideo},
         .kernel = QStringLiteral("ChannelSlide"),
         .scalars = {Row{QStringLiteral("rOffset"), 0, 1.001, 0, 1.001, 0, 0},
                     Row{QStringLiteral("gOffset"), 0, 1.001, 0, 1.001, 0, 0},
                     Row{QStringLiteral("bOffset"), 0, 1.001, 0, 1.001, 0, 0},
                     Row{QStringLiteral("aOffset"), 0, 1.001, 0, 1.001, 0, 0}},
         .scalarsPassed = CustomFilterSpec::Scalars::Vector4});
    specs.push_back(
        {.name = QStringLiteral("Contrast"),
         .displayName = QStringLiteral("Contrast"),
         .description = QStringLiteral("Adjust the image contrast (including negative contrast)"),
         .categories = {kCategoryColorAdjustment, kCategoryVideo},
         .kernel = QStringLiteral("Contrast"),
         .scalars = {Row{QStringLiteral("contrast"), -4, 4, -4, 4, 1, 1}}});
    specs.push_back({.name = QStringLiteral("Bright"),
                     .displayName = QStringLiteral("Bright"),
                     .description = QStringLiteral("A simple bright adjustment"),
                     .categories = {kCategoryColorAdjustment, kCategoryVideo},
                     .kernel = QStringLiteral("Bright"),
                     .scalars = {Row{QStringLiteral("bright"), -1, 1, -1, 1, 0, 0}}});
    specs.push_back({.name = QStringLiteral("FadeToBlack"),
                     .displayName = QStringLiteral("Fade To Black"),
                     .description = QStringLiteral("Fades an image to black"),
                     .categories = {kCategoryColorEffect, kCategoryVideo},
                     .kernel = QStringLiteral("FadeToBlack")});
    specs.push_back({.name = QStringLiteral("FrameHoldManual"),
                     .displayName = QStringLiteral("FrameHold-Manual"),
                     .description = QStringLiteral("Horizontal and vertical hold/offset controls"),
                     .categories = {kCategoryGeometryAdjustment, kCategoryVideo},
                     .kernel = QStringLiteral("FrameHold"),
                     .pointKey = QStringLiteral("offset")});
    addFeedbackMembers(specs);
    addSecondGroup(specs);
    return specs;
  }();
  return members;
}

const QString kLayerMaskDescription = QStringLiteral(
    "Take video from a tap source and apply it to the alpha channel- this effect resizes the "
    "mask image to fit your source!  Resembles a lumakey.");

void registerKernelMember(image::FilterRegistry& registry, const QString& name) {
  const CustomFilterSpec* spec = CustomFilters::specNamed(name);
  if (!spec || registry.contains(name)) return;
  registry.registerFilterName(
      name,
      [spec](const QString& n) -> std::shared_ptr<image::Filter> {
        if (spec->shape == CustomFilterSpec::Shape::Feedback)
          return std::make_shared<FeedbackFilter>(n, *spec);
        return std::make_shared<CustomKernelFilter>(n, *spec);
      },
      spec->classAttributes());
}

void registerLayerMask(image::FilterRegistry& registry) {
  if (registry.contains(LayerMask::kName)) return;
  QVariantMap attributes = CustomFilters::specNamed(QStringLiteral("AlphaMask"))->classAttributes();
  attributes.insert(kFilterDisplayName, QStringLiteral("Layer Mask"));
  attributes.insert(kDescription, kLayerMaskDescription);
  registry.registerFilterName(
      LayerMask::kName, [](const QString& n) { return std::make_shared<LayerMask>(n); },
      attributes);
}

// The members in registration order; "Crop_QK" last.
struct Member {
  const char* name;
  std::function<void(image::FilterRegistry&)> registerWith;
};

const std::vector<Member>& members() {
  static const std::vector<Member> table = [] {
    auto kernel = [](const char* name) {
      return Member{name, [name](image::FilterRegistry& registry) {
                      registerKernelMember(registry, QLatin1String(name));
                    }};
    };
    return std::vector<Member>{
        {"QKFilterAlpha", [](image::FilterRegistry& r) { QKFilterAlpha::registerWith(r); }},
        kernel("QKFilterFullAlpha"),
        kernel("AlphaMask"),
        {"LayerMask", registerLayerMask},
        kernel("ChannelSlide"),
        kernel("MotionBlur"),
        kernel("Contrast"),
        kernel("Bright"),
        kernel("FadeToBlack"),
        kernel("FrameHoldManual"),
        kernel("AddModulus"),
        kernel("Luma"),
        kernel("QKZoom"),
        kernel("RGB_Trails"),
        kernel("SourceAtop_QK"),
        kernel("ChromaMask"),
        kernel("XYZoom"),
        kernel("LayerPosition"),
        kernel("BWDuotone"),
        kernel("TwoColorDuotone"),
        kernel("FlipH"),
        kernel("FlipV"),
        kernel("QKColorControls"),
        kernel("Crop_QK"),
    };
  }();
  return table;
}

}  // namespace

void CustomFilters::initialize() { initialize(image::FilterRegistry::shared()); }

void CustomFilters::initialize(image::FilterRegistry& registry) {
  Log::line(kInitializeLine);
  for (const Member& member : members()) member.registerWith(registry);
}

QStringList CustomFilters::memberNames() {
  QStringList names;
  for (const Member& member : members()) names.append(QLatin1String(member.name));
  return names;
}

const CustomFilterSpec* CustomFilters::specNamed(const QString& name) {
  for (const CustomFilterSpec& spec : kernelMembers())
    if (spec.name == name) return &spec;
  return nullptr;
}

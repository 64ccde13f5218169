#include "framework/filters/CustomFilters.h"

#include "framework/filters/CustomKernelFilter.h"
#include "framework/filters/LayerMask.h"
#include "framework/filters/QKFilterAlpha.h"
#include "platform/foundation/Log.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"

#include <functional>

using namespace FilterKeys;

const char* const CustomFilters::kInitializeLine = "CustomFilters:initialize:";

namespace {

using Row = CustomFilter::ScalarRow;

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
      name, [spec](const QString& n) { return std::make_shared<CustomKernelFilter>(n, *spec); },
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

// The members in registration order. The feedback filters and the second
// group join this table.
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
        kernel("Contrast"),
        kernel("Bright"),
        kernel("FadeToBlack"),
        kernel("FrameHoldManual"),
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

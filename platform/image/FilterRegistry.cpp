#include "platform/image/FilterRegistry.h"

#include "platform/foundation/Log.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/StandardFilters.h"

#include <QHash>

namespace image {

FilterRegistry& FilterRegistry::shared() {
  static FilterRegistry* registry = [] {
    auto* made = new FilterRegistry;
    StandardFilters::registerAll(*made);
    return made;
  }();
  return *registry;
}

const FilterRegistry::Entry* FilterRegistry::find(const QString& name) const {
  for (const Entry& entry : entries_)
    if (entry.name == name) return &entry;
  return nullptr;
}

bool FilterRegistry::registerFilterName(const QString& name, Constructor constructor,
                                        const QVariantMap& classAttributes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (name.isEmpty() || !constructor || find(name)) {
    Log::line(QStringLiteral("\t\terr: filter %1 not registered").arg(name));
    return false;
  }
  entries_.push_back(Entry{name, std::move(constructor), classAttributes});
  return true;
}

bool FilterRegistry::contains(const QString& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return find(name) != nullptr;
}

std::shared_ptr<Filter> FilterRegistry::filterWithName(const QString& name) const {
  Constructor constructor;
  QVariantMap attributes;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const Entry* entry = find(name);
    if (!entry) return nullptr;
    constructor = entry->constructor;
    attributes = entry->attributes;
  }
  std::shared_ptr<Filter> filter = constructor(name);  // outside the lock: it may look up others
  if (filter) filter->classAttributes_ = attributes;
  return filter;
}

QStringList FilterRegistry::filterNamesInCategory(const QString& category) const {
  return category.isEmpty() ? filterNamesInCategories({}) : filterNamesInCategories({category});
}

QStringList FilterRegistry::filterNamesInCategories(const QStringList& categories) const {
  std::lock_guard<std::mutex> lock(mutex_);
  QStringList names;
  for (const Entry& entry : entries_) {
    const QStringList own = entry.attributes.value(FilterKeys::kFilterCategories).toStringList();
    bool inAll = true;
    for (const QString& category : categories) inAll = inAll && own.contains(category);
    if (inAll) names << entry.name;
  }
  return names;
}

QVariantMap FilterRegistry::attributesForFilter(const QString& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const Entry* entry = find(name);
  if (!entry) return {};
  QVariantMap attributes = entry->attributes;
  attributes.insert(FilterKeys::kFilterName, name);
  return attributes;
}

QString FilterRegistry::localizedNameForFilterName(const QString& name) const {
  const QString display =
      attributesForFilter(name).value(FilterKeys::kFilterDisplayName).toString();
  return display.isEmpty() ? name : display;
}

QString FilterRegistry::localizedNameForCategory(const QString& category) {
  static const QHash<QString, QString> names = {
      {FilterKeys::kCategoryDistortionEffect, QStringLiteral("Distortion Effect")},
      {FilterKeys::kCategoryGeometryAdjustment, QStringLiteral("Geometry Adjustment")},
      {FilterKeys::kCategoryCompositeOperation, QStringLiteral("Composite Operation")},
      {FilterKeys::kCategoryHalftoneEffect, QStringLiteral("Halftone Effect")},
      {FilterKeys::kCategoryColorAdjustment, QStringLiteral("Color Adjustment")},
      {FilterKeys::kCategoryColorEffect, QStringLiteral("Color Effect")},
      {FilterKeys::kCategoryTransition, QStringLiteral("Transition")},
      {FilterKeys::kCategoryTileEffect, QStringLiteral("Tile Effect")},
      {FilterKeys::kCategoryGenerator, QStringLiteral("Generator")},
      {FilterKeys::kCategoryReduction, QStringLiteral("Reduction")},
      {FilterKeys::kCategoryGradient, QStringLiteral("Gradient")},
      {FilterKeys::kCategoryStylize, QStringLiteral("Stylize")},
      {FilterKeys::kCategorySharpen, QStringLiteral("Sharpen")},
      {FilterKeys::kCategoryBlur, QStringLiteral("Blur")},
      {FilterKeys::kCategoryVideo, QStringLiteral("Video")},
      {FilterKeys::kCategoryStillImage, QStringLiteral("Still Image")},
      {FilterKeys::kCategoryInterlaced, QStringLiteral("Interlaced")},
      {FilterKeys::kCategoryNonSquarePixels, QStringLiteral("Non-Square Pixels")},
      {FilterKeys::kCategoryHighDynamicRange, QStringLiteral("High Dynamic Range")},
      {FilterKeys::kCategoryBuiltIn, QStringLiteral("Built-In")},
  };
  return names.value(category, category);
}

}  // namespace image

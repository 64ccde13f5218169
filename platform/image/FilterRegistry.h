#pragma once

#include "platform/image/Filter.h"

#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace image {

// The filters of the process by name, with their class attributes
// (categories, display name, description, one attribute dictionary per
// input). The shared registry holds the engine's standard filters from the
// start; the program registers its own. Safe from any thread.
class FilterRegistry {
 public:
  using Constructor = std::function<std::shared_ptr<Filter>(const QString& name)>;

  FilterRegistry() = default;
  static FilterRegistry& shared();

  // False (logged) for an empty name, no constructor or a name already
  // registered: the first registration stands.
  bool registerFilterName(const QString& name, Constructor constructor,
                          const QVariantMap& classAttributes);
  bool contains(const QString& name) const;

  // A new filter of that name, or null.
  std::shared_ptr<Filter> filterWithName(const QString& name) const;
  // Names in registration order; an empty category lists them all.
  QStringList filterNamesInCategory(const QString& category) const;
  // Names of the filters in every one of the categories.
  QStringList filterNamesInCategories(const QStringList& categories) const;
  QVariantMap attributesForFilter(const QString& name) const;
  // The display name, or the name itself without one.
  QString localizedNameForFilterName(const QString& name) const;
  static QString localizedNameForCategory(const QString& category);

 private:
  struct Entry {
    QString name;
    Constructor constructor;
    QVariantMap attributes;
  };
  const Entry* find(const QString& name) const;

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace image

#pragma once

#include "framework/filters/CustomFilterSpec.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace image {
class FilterRegistry;
}

// The program's own filters. `initialize` registers every member with the
// filter registry under its name, in a fixed order, once per process (a
// second call only logs its line again). The compositor calls it when it is
// created, on the main thread.
class CustomFilters {
 public:
  static const char* const kInitializeLine;  // "CustomFilters:initialize:"

  static void initialize();
  static void initialize(image::FilterRegistry& registry);

  // The members' names in registration order.
  static QStringList memberNames();
  // The spec of a member applied as one kernel; null for the others
  // ("QKFilterAlpha", "LayerMask").
  static const CustomFilterSpec* specNamed(const QString& name);
};

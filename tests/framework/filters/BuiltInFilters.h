#pragma once

#include "framework/filters/CustomFilters.h"
#include "platform/image/FilterRegistry.h"
#include "tests/support/LogCapture.h"

#include <memory>

// A built-in filter made by name from the shared registry (registered once,
// quietly).
inline std::shared_ptr<image::Filter> makeBuiltIn(const QString& name) {
  static const bool registered = [] {
    LogCapture quiet;
    CustomFilters::initialize();
    return true;
  }();
  (void)registered;
  return image::FilterRegistry::shared().filterWithName(name);
}

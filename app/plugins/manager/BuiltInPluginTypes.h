#pragma once

#include "app/plugins/manager/PluginRegistry.h"

#include <vector>

// The built-in plug-in types whose classes exist, in the manager's order of
// built-in type names. A plug-in class joins by adding its entry here.
class BuiltInPluginTypes {
 public:
  static std::vector<PluginRegistry::Entry> entries();
};

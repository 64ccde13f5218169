#pragma once

#include "framework/toolkit/LayoutRegistry.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QKPlugin;

// What the plug-in manager knows of one plug-in type: how to make an
// instance and how to build its window. Making an instance only constructs
// it (the type name, the instance name and the unique ID reach QKPlugin's
// constructor); the manager wakes it afterwards by asking for its window,
// so no virtual call happens during construction. A null answer means the
// class refuses (a composition whose file is gone).
struct PluginClass {
  using Create = std::function<std::unique_ptr<QKPlugin>(
      const QString& type, const QString& instanceName, std::int32_t uniqueID)>;

  Create create;
  // The window of the type's layout; empty when the layout is registered
  // elsewhere.
  LayoutRegistry::Builder layout;
};

#pragma once

#include <QVariantMap>

// The components of a plug-in's snapshot ("componentArray" entries): the
// plug-in manager marks those it stores with "restore" 1, and only those
// are restored.
class PluginComponents {
 public:
  static bool restorable(const QVariantMap& component);
};

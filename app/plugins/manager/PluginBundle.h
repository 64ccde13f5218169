#pragma once

#include "app/plugins/manager/PluginClass.h"

#include <QString>

#include <optional>

// Loads the code of a plug-in bundle ("<Name>.bundle/<Name>.so", see
// PluginBundleABI.h). Only a folder whose name ends in ".bundle" is a bundle;
// nothing else is ever loaded. A loaded object stays loaded for the rest of
// the run (its plug-ins and windows may live as long). Main thread only.
class PluginBundle {
 public:
  // The bundle's name: its folder's name less ".bundle" (every occurrence).
  static QString keyForEntry(const QString& entryName);
  // Whether the entry is a bundle folder at all.
  static bool isBundleFolder(const QString& path);
  // The type of the bundle at `path`, whose name is `key`; none with the
  // reason in `why` (no object, not loadable, another ABI version, a
  // missing symbol).
  static std::optional<PluginClass> load(const QString& path, const QString& key, QString* why);
};

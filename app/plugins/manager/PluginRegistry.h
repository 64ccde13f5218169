#pragma once

#include "app/plugins/manager/PluginClass.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// The plug-in types by name: the built-in types in their given order, then
// what the "plugins" folders hold, folder by folder. A composition
// ("*.qtz"/"*.QTZ" that reads as a property-list dictionary) registers under
// its whole file name; a bundle ("<Name>.bundle" holding "<Name>.so")
// under "<Name>". An entry whose name less its extension is already a type
// (a built-in, or an earlier folder's) is skipped. Hidden entries and the
// form of a composition ("<name>.ui" beside "<name>.qtz") are skipped; any
// other entry logs the two lines of a failed bundle and loads no
// code. A folder that is missing or unreadable adds nothing. Main thread
// only.
class PluginRegistry {
 public:
  using Entry = std::pair<QString, PluginClass>;

  // Replaces the registry. `compositionClass` makes the plug-ins of every
  // composition type.
  void load(const std::vector<Entry>& builtIns, const QStringList& folders,
            const PluginClass& compositionClass);

  bool contains(const QString& type) const { return classes_.contains(type); }
  // Null for a type that is not registered.
  const PluginClass* classFor(const QString& type) const;
  // In the order entered.
  QStringList keys() const { return order_; }
  // Case-insensitively sorted: the rows of the potential list.
  QStringList sortedKeys() const { return sorted_; }

 private:
  void enter(const QString& type, const PluginClass& pluginClass);
  void loadFolder(const QString& folder, const PluginClass& compositionClass);
  void loadBundle(const QString& path, const QString& entryName);
  static bool isFormOfComposition(const QStringList& entries, const QString& entry);

  QHash<QString, PluginClass> classes_;
  QStringList order_;
  QStringList sorted_;
};

#pragma once

#include <QString>

// The rule by which a composition in a "plugins" folder becomes a plug-in
// type: the file reads as a property-list dictionary. (No system-version
// flag inside it is read.) The composition plug-in's class uses it too.
class QCPluginFile {
 public:
  static bool isValidQCPluginAtPath(const QString& path);
  // "qtz" or "QTZ" as the file's extension.
  static bool hasCompositionExtension(const QString& fileName);
};

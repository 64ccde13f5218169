#pragma once

#include <QString>
#include <QStringList>

// Finding composition files by name and deciding what they may be used as.
// Class functions only; any thread but the render thread (they read files).
//
// Names are file names with their extension ("Crossfade.qtz"). A name is
// looked up in the named folder of the user's data folder, then in the
// shipped one, then in "<QCUserDirectoryPath>/<folder>/" when that user
// default is set; the first folder holding an entry of exactly that name
// (case and extension included) answers, and paths end in the name.
class QCUtils {
 public:
  QCUtils() = delete;

  static const QString kEffectsFolder;    // "qcFX"
  static const QString kCompModesFolder;  // "qcCompModes"
  static const QString kPluginsFolder;    // "plugins"
  // The comp mode chosen when nothing else is.
  static const QString kDefaultCompMode;  // "Crossfade.qtz"

  // The nine spellings under which an effect publishes its image input.
  static const QStringList& imageInputKeys();
  // The inputs every comp mode publishes: "foreground", "background", "opacity".
  static const QStringList& compModeInputKeys();

  // Whether the file may be used as an effect: it publishes an image input.
  // A path that cannot be read is tried inside the "qcFX" folders (so a bare
  // file name is found there). A file lying directly in a "qcFX" folder is
  // accepted without an image input, with a warning.
  static bool isValidQCFXAtPath(const QString& path);
  // The same for comp modes, which publish all of compModeInputKeys(), with
  // the "qcCompModes" folders.
  static bool isValidQCCompModeAtPath(const QString& path);
  // The file's top-level "category"; empty when unreadable or absent.
  static QString categoryForQCFXAtPath(const QString& path);

  // The full path of the first match, or empty.
  static QString pathForQCFXNamed(const QString& name);
  static QString pathForQCCompModeNamed(const QString& name);
  static QString pathForQCPluginNamed(const QString& name);

  // The file name of the default comp mode: kDefaultCompMode when it is
  // found and valid, else the first valid one of the "qcCompModes" folders
  // in case-insensitive order (hidden files skipped); empty when none is.
  static QString defaultQCCompModePath();

  // The folders searched for `folderName`, in order, each ending in "/".
  static QStringList searchFolders(const QString& folderName);

 private:
  struct Kind;
  static bool isValidAtPath(const QString& path, const Kind& kind);
  static QString pathNamed(const QString& name, const QString& folderName);
};

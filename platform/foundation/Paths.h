#pragma once

#include <QString>
#include <QStringList>

// The application's folders.
// - Resources (read-only): <executable>/../share/zaph, both in the build tree
//   and installed; ZAPH_RESOURCES_DIR overrides.
// - The user's data folder: $XDG_DATA_HOME/ZAPH (~/.local/share/ZAPH).
// - The user's config folder: $XDG_CONFIG_HOME/ZAPH (~/.config/ZAPH).
// - Named folders ("qcFX", "behavior chains", "waves", …) are looked up in
//   the user's data folder, then in the resources; the ones the program
//   writes are created in the user's data folder on demand.
class Paths {
 public:
  static QString resourcesDir();
  // The resource "<name>.<type>" (type may be empty), or an empty string.
  static QString resourcePath(const QString& name, const QString& type = {});

  // The shipped projects: the "projects" folder of the resources (the
  // tutorial project lives there); it may not exist.
  static QString projectsDir();
  static QString userDataDir();
  static QString userConfigDir();

  // Existing copies of a named folder, user first.
  static QStringList namedFolderSearchList(const QString& name);
  // The first existing copy, or an empty string.
  static QString findNamedFolder(const QString& name);
  // The user's copy, created when missing; empty when it cannot be made.
  static QString userNamedFolder(const QString& name);

  // Tests point the folders at temporary ones (empty restores the default).
  static void setResourcesDirOverride(const QString& dir);
  static void setUserDataDirOverride(const QString& dir);
  static void setUserConfigDirOverride(const QString& dir);
};

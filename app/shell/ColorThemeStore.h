#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// The colour theme as stored: the user default "colors" holds the ten groups
// ("winColorDict" … "sliderColorDict") as one keyed archive, and a theme
// file "<name>.zaphcolors" holds that archive as an XML property list, so a
// theme chosen and exported again is the same tree. Theme files are read
// from the user's "themes" folder and the shipped one (by exact suffix, the
// user's copy of a name first) and written only to the user's; names are
// escaped into file names. Main thread.
class ColorThemeStore {
 public:
  static const QString kDefaultsKey;    // "colors"
  static const QString kExtension;      // "zaphcolors"
  static const QString kDumpExtension;  // "srccolors"
  static const QString kFolderName;     // "themes"

  // Archives the groups into "colors" and synchronises the defaults; false
  // (logged "\t\terr: couldn't encode color data") when nothing can be
  // archived, the stored theme then unchanged.
  static bool save(const QVariantMap& groups);
  // The stored theme unarchived; nothing when there is none or it is not a
  // dictionary.
  static std::optional<QVariantMap> stored();

  // The theme names, each once, sorted without regard to case.
  static QStringList themeNames();
  // The file of a theme name (the user's first); empty when there is none.
  static QString themePath(const QString& name);
  // Makes the named theme the stored one; the reason (with the file's name)
  // when the file cannot be read or is not a theme, nothing changed then.
  static QString choose(const QString& name);
  // Writes the stored theme as the named theme file in the user's folder,
  // replacing one of that name; the reason when it cannot.
  static QString exportTheme(const QString& name);
  // Writes the stored theme as source text "<name>.srccolors" there.
  static QString rawExport(const QString& name);

  // The source text of a theme: per group a line of fourteen dashes and the
  // key, a blank line, the group's source text, then ";" and three blank
  // lines.
  static QString dumpText(const QVariantMap& groups);
  // Why a tree read from a file is not a theme; empty when it is one.
  static QString whyNotATheme(const QVariant& tree);
};

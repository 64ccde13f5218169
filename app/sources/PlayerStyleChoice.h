#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// Which player composition plays a text or image file: the style name S
// (the file's own when it asks for it, else the source's last one, else the
// file's), whether the file's own stored values go with it, and the path
// that plays, with the fallbacks when S names no player. Pure: the caller
// logs `messages` and acts on the result.
class PlayerStyleChoice {
 public:
  enum class Kind { Text, Image };
  static const QString kDefaultTextPlayer;   // "DefaultFontsynth"
  static const QString kDefaultImagePlayer;  // "DefaultImageSource.qtz"

  struct Result {
    std::optional<QString> style;  // S; none when no style could be chosen
    bool useFileValues = false;    // F
    QString path;                  // empty: nothing plays
    // An image whose style is the built-in player: the image source shows it.
    bool builtInPlayer = false;
    QStringList messages;
  };

  // `props` are the file's stored properties, `players` the player table
  // (name → composition path; keys ordered as the table lists them).
  static Result choose(Kind kind, const QVariantMap& props, const QString& fileName,
                       const std::optional<QString>& lastStyle,
                       const QMap<QString, QString>& players);
};

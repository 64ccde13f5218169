#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Which style composition the composition pane previews a text or image
// file through: the file's pending "styleName" when the player table has
// it, else the default player, else (texts) the table's first entry or
// (images) the built-in player. `style` is the name the composition is
// known by, under which the pane keeps its parameter values. Pure: the
// caller logs `messages`.
struct MIStyleChoice {
  enum class Kind { Text, Image };

  QString style;  // empty when nothing can preview the file
  QString path;   // empty when nothing can preview the file
  QStringList messages;

  // `players`: style name → composition path. `builtInPlayerPath`: the
  // application's own image player (empty when missing).
  static MIStyleChoice choose(Kind kind, const std::optional<QString>& styleName,
                              const QMap<QString, QString>& players,
                              const QString& builtInPlayerPath, const QString& fileName);
};

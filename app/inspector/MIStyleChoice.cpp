#include "app/inspector/MIStyleChoice.h"

#include "app/compositor/SourceFolderTable.h"
#include "app/sources/PlayerStyleChoice.h"

namespace {

// The default player's table entry: listed with or without the extension.
std::optional<QString> defaultPlayer(MIStyleChoice::Kind kind,
                                     const QMap<QString, QString>& players) {
  QString base = kind == MIStyleChoice::Kind::Text ? PlayerStyleChoice::kDefaultTextPlayer
                                                   : PlayerStyleChoice::kDefaultImagePlayer;
  if (base.endsWith(QStringLiteral(".qtz"))) base.chop(4);
  for (const QString& key : {base, base + QStringLiteral(".qtz")})
    if (players.contains(key)) return key;
  return std::nullopt;
}

}  // namespace

MIStyleChoice MIStyleChoice::choose(Kind kind, const std::optional<QString>& styleName,
                                    const QMap<QString, QString>& players,
                                    const QString& builtInPlayerPath, const QString& fileName) {
  const bool text = kind == Kind::Text;
  const QString builtIn = SourceFolderTable::kBuiltInPlayer;
  MIStyleChoice choice;
  auto take = [&choice](const QString& style, const QString& path) {
    choice.style = style;
    choice.path = path;
    return choice;
  };
  if (styleName && !text && *styleName == builtIn && !builtInPlayerPath.isEmpty())
    return take(builtIn, builtInPlayerPath);
  if (styleName && players.contains(*styleName)) return take(*styleName, players.value(*styleName));
  choice.messages
      << (text ? QStringLiteral("\t\terr: stylePath was nil, attempting DefaultFontsynth")
               : QStringLiteral("\t\terr: stylePath was nil, attempting DefaultImageSource.qtz"));
  if (const auto fallback = defaultPlayer(kind, players))
    return take(*fallback, players.value(*fallback));
  if (text && !players.isEmpty()) return take(players.firstKey(), players.first());
  if (!text && !builtInPlayerPath.isEmpty()) return take(builtIn, builtInPlayerPath);
  choice.messages << QStringLiteral("\t\terror: no qc available to inspect %1 file %2")
                         .arg(text ? QStringLiteral("text") : QStringLiteral("image"), fileName);
  return choice;
}

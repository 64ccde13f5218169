#include "app/sources/PlayerStyleChoice.h"

#include "app/compositor/SourceFolderTable.h"

#include <QFileInfo>

const QString PlayerStyleChoice::kDefaultTextPlayer = QStringLiteral("DefaultFontsynth");
const QString PlayerStyleChoice::kDefaultImagePlayer = QStringLiteral("DefaultImageSource.qtz");

namespace {

const QString kUseStyle = QStringLiteral("useStyle");
const QString kStyleName = QStringLiteral("styleName");

std::optional<QString> stringProp(const QVariantMap& props, const QString& key) {
  const QVariant value = props.value(key);
  if (value.typeId() != QMetaType::QString) return std::nullopt;
  return value.toString();
}

bool useStyleIsOne(const QVariantMap& props) {
  const QVariant value = props.value(kUseStyle);
  bool ok = false;
  return value.isValid() && value.toInt(&ok) == 1 && ok;
}

// The default player: under its name with and without the extension.
QString defaultPlayerPath(PlayerStyleChoice::Kind kind, const QMap<QString, QString>& players) {
  const QString name = kind == PlayerStyleChoice::Kind::Text
                           ? PlayerStyleChoice::kDefaultTextPlayer
                           : PlayerStyleChoice::kDefaultImagePlayer;
  QString base = name;
  if (base.endsWith(QStringLiteral(".qtz"))) base.chop(4);
  for (const QString& key : {name, base, base + QStringLiteral(".qtz")})
    if (players.contains(key)) return players.value(key);
  return {};
}

}  // namespace

PlayerStyleChoice::Result PlayerStyleChoice::choose(Kind kind, const QVariantMap& props,
                                                    const QString& fileName,
                                                    const std::optional<QString>& lastStyle,
                                                    const QMap<QString, QString>& players) {
  const bool text = kind == Kind::Text;
  Result result;
  const std::optional<QString> fileStyle = stringProp(props, kStyleName);
  if (useStyleIsOne(props) && fileStyle) {
    result.style = fileStyle;
    result.useFileValues = true;
  } else if (lastStyle) {
    result.style = lastStyle;
  } else if (fileStyle) {
    result.style = fileStyle;
  } else {
    result.messages << QStringLiteral("\t\terror: no default style specified for %1 file: %2")
                           .arg(text ? QStringLiteral("text") : QStringLiteral("image"), fileName);
  }
  // The built-in player is no composition: a table listing it as one is
  // not asked.
  if (!text && result.style && *result.style == SourceFolderTable::kBuiltInPlayer) {
    result.builtInPlayer = true;
    return result;
  }
  if (result.style && players.contains(*result.style)) {
    result.path = players.value(*result.style);
    return result;
  }
  if (lastStyle && players.contains(*lastStyle)) {
    result.path = players.value(*lastStyle);
    return result;
  }
  result.path = defaultPlayerPath(kind, players);
  if (!result.path.isEmpty()) {
    result.messages << (text ? QStringLiteral("\t\terror: using DefaultFontsynth")
                             : QStringLiteral("\t\terror: using default image source"));
    return result;
  }
  if (!players.isEmpty()) {
    result.path = players.first();
    result.messages << (text
                            ? QStringLiteral("\t\terror: specified fontsynth unavailable, using %1")
                            : QStringLiteral("\t\terror: specified image unavailable, using %1"))
                           .arg(QFileInfo(result.path).fileName());
    return result;
  }
  result.messages << (text ? QStringLiteral("\t\terror: no qc available to play text file!")
                           : QStringLiteral("\t\terror: no qc available to play image file!"));
  return result;
}

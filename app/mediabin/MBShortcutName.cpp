#include "app/mediabin/MBShortcutName.h"

#include "framework/datasource/MIDIManager.h"
#include "platform/foundation/UserDefaults.h"

#include <QRegularExpression>

namespace MBShortcutName {

bool groupAndSource(const KeyPath& path, QString* group, QString* source) {
  if (path.size() < 2) return false;
  *group = path[0];
  *source = path[1];
  if (*source == QLatin1String("hidden") && path.size() > 2) *source = path[2];
  return true;
}

bool naturalNoteNames() {
  const UserDefaults& defaults = UserDefaults::standard();
  if (!defaults.contains(kNaturalNamesDefault)) return true;
  return defaults.integerValue(kNaturalNamesDefault) == 1;
}

QString midiSourceName(const QString& source) {
  static const QRegularExpression note(QStringLiteral("^note \\[(\\d+)\\]"));
  static const QRegularExpression controller(QStringLiteral("^ctrl \\[(\\d+)\\]"));
  if (const auto m = note.match(source); m.hasMatch()) {
    const int number = m.captured(1).toInt();
    return naturalNoteNames() ? MIDIManager::naturalNameForMIDINoteValue(number)
                              : QStringLiteral("n%1").arg(number);
  }
  if (const auto m = controller.match(source); m.hasMatch())
    return QStringLiteral("CC%1").arg(m.captured(1).toInt());
  if (source.startsWith(QLatin1String("ptch.whl."))) return QStringLiteral("PB");
  return source;
}

QString forQueueItem(const KeyPath& path) {
  QString group, source;
  if (!groupAndSource(path, &group, &source)) return {};
  if (group == QLatin1String("MIDI")) return midiSourceName(source);
  return QStringLiteral("%1: %2").arg(group, source);
}

QString forListener(const KeyPath& path) {
  if (path.size() < 2) return {};
  QString group = path[0];
  QString name = path[1];
  if (group == QLatin1String("hidden") && path.size() > 2) {
    group = path[1];
    name = path[2];
  } else if (name == QLatin1String("hidden") && path.size() > 2) {
    name = path[2];
  }
  if (group == QLatin1String("MIDI")) return midiSourceName(name);
  const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  return parts.isEmpty() ? name : parts.last();
}

}  // namespace MBShortcutName

#include "app/plugins/manager/PluginNaming.h"

bool PluginNaming::isWellFormed(const QString& name) {
  return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\t')) &&
         !name.startsWith(QLatin1Char(' '));
}

const QStringList& PluginNaming::systemRoots() {
  static const QStringList roots{QStringLiteral("ZAPH"),         QStringLiteral("Key"),
                                 QStringLiteral("MIDI"),         QStringLiteral("OSC"),
                                 QStringLiteral("Mouse"),        QStringLiteral("Dedicated MIDI"),
                                 QStringLiteral("Dedicated OSC")};
  return roots;
}

QString PluginNaming::defaultName(const QString& type, const Taken& taken) {
  for (long n = 1;; ++n) {
    const QString candidate = QStringLiteral("%1 %2").arg(type).arg(n);
    if (!taken(candidate)) return candidate;
  }
}

QString PluginNaming::deduplicated(const QString& name, const Taken& taken) {
  if (!taken(name)) return name;
  for (long n = 2;; ++n) {
    const QString candidate = QStringLiteral("%1 %2").arg(name).arg(n);
    if (!taken(candidate)) return candidate;
  }
}

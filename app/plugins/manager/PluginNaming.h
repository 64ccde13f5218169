#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The rules of plug-in instance names. An instance name is the root of the
// data-source paths its plug-in publishes, so besides being unique among
// live plug-ins it must be a name a root may bear: not empty, without "/" or
// a tab, not beginning with a space, and not the name of another root of the
// tree ("MIDI", "OSC", "Key", "Mouse", "ZAPH", the dedicated roots, a group
// that plug-ins of a type share).
class PluginNaming {
 public:
  using Taken = std::function<bool(const QString& name)>;

  // Not empty, no "/", no tab, no leading space.
  static bool isWellFormed(const QString& name);
  // The roots the system itself keeps, whether they exist yet or not.
  static const QStringList& systemRoots();
  // "<type> n" with the lowest n >= 1 that is not taken.
  static QString defaultName(const QString& type, const Taken& taken);
  // `name` itself when it is not taken, else "<name> n" with the lowest
  // n >= 2 that is not.
  static QString deduplicated(const QString& name, const Taken& taken);
};

#pragma once

#include <QStringList>

#include <utility>
#include <vector>

// How a restore meets the live plug-ins (both lists in the manager's sorted
// order): a live plug-in whose name and type are both wanted stays as it is;
// among the rest, within each type, the k-th live plug-in left over takes the
// name of the k-th wanted entry left over; the live ones still left go, the
// wanted ones still left are made. Indices refer to the lists given.
struct PluginRestorePlan {
  struct Pair {
    int live;
    int wanted;
  };

  static PluginRestorePlan make(const QStringList& liveNames, const QStringList& liveTypes,
                                const QStringList& wantedNames, const QStringList& wantedTypes);

  std::vector<Pair> kept;     // same name, same type
  std::vector<Pair> renamed;  // same type, the wanted name
  std::vector<int> deleted;   // live indices, ascending
  std::vector<int> created;   // wanted indices, ascending
};

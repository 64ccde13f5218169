#include "app/plugins/manager/PluginRestorePlan.h"

#include <algorithm>

namespace {

// The entries still unmatched: original index, name, type.
struct Entry {
  int index;
  QString name;
  QString type;
};

std::vector<Entry> entries(const QStringList& names, const QStringList& types) {
  std::vector<Entry> list;
  for (int i = 0; i < names.size() && i < types.size(); ++i)
    list.push_back({i, names[i], types[i]});
  return list;
}

}  // namespace

PluginRestorePlan PluginRestorePlan::make(const QStringList& liveNames,
                                          const QStringList& liveTypes,
                                          const QStringList& wantedNames,
                                          const QStringList& wantedTypes) {
  PluginRestorePlan plan;
  std::vector<Entry> live = entries(liveNames, liveTypes);
  std::vector<Entry> wanted = entries(wantedNames, wantedTypes);

  // Exact matches: the first wanted entry of the live name, when the types
  // agree.
  for (auto l = live.begin(); l != live.end();) {
    const auto w = std::find_if(wanted.begin(), wanted.end(),
                                [&](const Entry& e) { return e.name == l->name; });
    if (w != wanted.end() && w->type == l->type) {
      plan.kept.push_back({l->index, w->index});
      wanted.erase(w);
      l = live.erase(l);
    } else {
      ++l;
    }
  }

  // Pairing by type: each live entry takes the next wanted entry of its type
  // after the one its predecessor of the same run took.
  std::vector<std::pair<size_t, size_t>> pairs;  // positions in live, wanted
  size_t start = 0;
  QString spent;
  bool anySpent = false;
  for (size_t i = 0; i < live.size(); ++i) {
    const QString& type = live[i].type;
    if (anySpent && type == spent) continue;
    const auto hasType = [&](const Entry& e) { return e.type == type; };
    if (std::none_of(wanted.begin(), wanted.end(), hasType)) continue;
    const auto found =
        std::find_if(wanted.begin() + static_cast<std::ptrdiff_t>(std::min(start, wanted.size())),
                     wanted.end(), hasType);
    if (found == wanted.end()) {
      spent = type;
      anySpent = true;
      start = 0;
      continue;
    }
    const size_t j = static_cast<size_t>(found - wanted.begin());
    pairs.emplace_back(i, j);
    start = j + 1;
  }
  for (const auto& [i, j] : pairs) plan.renamed.push_back({live[i].index, wanted[j].index});

  std::vector<bool> livePaired(live.size(), false), wantedPaired(wanted.size(), false);
  for (const auto& [i, j] : pairs) {
    livePaired[i] = true;
    wantedPaired[j] = true;
  }
  for (size_t i = 0; i < live.size(); ++i)
    if (!livePaired[i]) plan.deleted.push_back(live[i].index);
  for (size_t j = 0; j < wanted.size(); ++j)
    if (!wantedPaired[j]) plan.created.push_back(wanted[j].index);
  std::sort(plan.deleted.begin(), plan.deleted.end());
  std::sort(plan.created.begin(), plan.created.end());
  return plan;
}

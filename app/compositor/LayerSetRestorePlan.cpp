#include "app/compositor/LayerSetRestorePlan.h"

#include "platform/foundation/Log.h"

#include <functional>

namespace {

const QString kLayerName = QStringLiteral("layerName");
const QString kGroupFlag = QStringLiteral("groupFlag");
const QString kLayerArray = QStringLiteral("layerArray");

bool storedFlag(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
      return value.toDouble() != 0;
    default:
      return false;
  }
}

}  // namespace

LayerSetRestorePlan::LayerSetRestorePlan(const QVariantList& layerSnapArray) {
  QStringList ancestors;
  tree_ = clean(layerSnapArray, 0, ancestors);
  for (const Entry* entry : entries()) (entry->group ? groupNames_ : layerNames_) << entry->name;
}

std::vector<LayerSetRestorePlan::Entry> LayerSetRestorePlan::clean(const QVariantList& array,
                                                                   int depth,
                                                                   QStringList& ancestors) {
  std::vector<Entry> entries;
  if (depth >= kMaxDepth) {
    if (!array.isEmpty())
      Log::line(QStringLiteral("\t\terr: layers nested deeper than %1 levels were skipped")
                    .arg(kMaxDepth));
    return entries;
  }
  for (const QVariant& value : array) {
    if (value.typeId() != QMetaType::QVariantMap) {
      Log::line("\t\terr: a layer snapshot that is not a dictionary was skipped");
      continue;
    }
    Entry entry;
    entry.snapshot = value.toMap();
    const QVariant name = entry.snapshot.value(kLayerName);
    if (name.typeId() != QMetaType::QString || name.toString().isEmpty()) {
      Log::line("\t\terr: a layer snapshot without a name was skipped");
      continue;
    }
    if (ancestors.contains(name.toString())) {
      Log::line(QStringLiteral("\t\terr: the group %1 cannot hold itself: the entry was skipped")
                    .arg(name.toString()));
      continue;
    }
    entry.name = uniqueName(name.toString());
    entry.snapshot.insert(kLayerName, entry.name);
    entry.group = storedFlag(entry.snapshot.value(kGroupFlag));
    if (entry.group) {
      const QVariant members = entry.snapshot.value(kLayerArray);
      ancestors << name.toString() << entry.name;
      entry.members =
          clean(members.typeId() == QMetaType::QVariantList ? members.toList() : QVariantList(),
                depth + 1, ancestors);
      ancestors.removeLast();
      ancestors.removeLast();
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

QString LayerSetRestorePlan::uniqueName(const QString& name) {
  QString unique = name;
  for (long n = 2; taken_.contains(unique); ++n) unique = QStringLiteral("%1 %2").arg(name).arg(n);
  if (unique != name)
    Log::line(
        QStringLiteral("\t\terr: a second layer named %1 is restored as %2").arg(name, unique));
  taken_ << unique;
  return unique;
}

std::vector<const LayerSetRestorePlan::Entry*> LayerSetRestorePlan::entries() const {
  std::vector<const Entry*> all;
  std::function<void(const std::vector<Entry>&)> walk = [&](const std::vector<Entry>& level) {
    for (const Entry& entry : level) {
      all.push_back(&entry);
      walk(entry.members);
    }
  };
  walk(tree_);
  return all;
}

QStringList LayerSetRestorePlan::missingFrom(const QStringList& from, const QStringList& other) {
  QStringList missing;
  for (const QString& name : from)
    if (!other.contains(name)) missing << name;
  return missing;
}

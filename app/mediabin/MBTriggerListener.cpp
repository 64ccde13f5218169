#include "app/mediabin/MBTriggerListener.h"

#include "app/mediabin/MBShortcutName.h"

const QString MBTriggerListener::kSyncArrayKey = QStringLiteral("syncArray");
const QString MBTriggerListener::kSyncFlagKey = QStringLiteral("syncFlag");
const QString MBTriggerListener::kLegacySyncGenKey = QStringLiteral("QKMBTriggerCell-syncGen");
const QString MBTriggerListener::kLegacySyncSpecKey = QStringLiteral("QKMBTriggerCell-syncSpec");

namespace {

// A stored path: a non-empty list whose every element is a string.
std::optional<KeyPath> storedPath(const QVariant& value) {
  if (value.typeId() != QMetaType::QVariantList && value.typeId() != QMetaType::QStringList)
    return std::nullopt;
  KeyPath path;
  for (const QVariant& element : value.toList()) {
    if (element.typeId() != QMetaType::QString) return std::nullopt;
    path << element.toString();
  }
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace

MBTriggerListener::Ptr MBTriggerListener::createWithTarget(std::weak_ptr<const void> target,
                                                           Action action) {
  Ptr listener(new MBTriggerListener);
  listener->setTriggerMode(0);
  listener->setTriggerOnRise(true);
  listener->setTriggerOnFall(true);
  listener->setButtonType(1);
  listener->setTarget(std::move(target));
  listener->setAction(std::move(action));
  listener->didCreate();
  return listener;
}

QString MBTriggerListener::humanReadableName() const {
  return MBShortcutName::forListener(syncArray());
}

QVariantMap MBTriggerListener::createSnapshot() const {
  QVariantMap snapshot{{kSyncFlagKey, syncFlag()}};
  const KeyPath path = syncArray();
  if (!path.isEmpty()) snapshot.insert(kSyncArrayKey, QVariant(QStringList(path)));
  return snapshot;
}

void MBTriggerListener::loadSnapshot(const QVariantMap& snapshot, bool /*andOutput*/) {
  std::optional<KeyPath> path;
  if (snapshot.contains(kSyncArrayKey)) {
    path = storedPath(snapshot.value(kSyncArrayKey));
  } else {
    const QVariant gen = snapshot.value(kLegacySyncGenKey);
    const QVariant spec = snapshot.value(kLegacySyncSpecKey);
    if (gen.typeId() == QMetaType::QString && spec.typeId() == QMetaType::QString)
      path = KeyPath{gen.toString(), spec.toString()};
  }
  if (path && useThisSource(*path)) {
    setSyncFlag(true);
    return;
  }
  setSyncFlag(false);
}

#include "app/mediabin/MBLayerItem.h"

#include "app/mediabin/MBShortcutName.h"
#include "platform/foundation/VariantNumbers.h"

const QString MBLayerItem::kLayerNameKey = QStringLiteral("layerName");
const QString MBLayerItem::kActiveKey = QStringLiteral("active");
const QString MBLayerItem::kSuperSnapKey = QStringLiteral("superSnap");
const QString MBLayerItem::kLegacySyncGenKey = QStringLiteral("MBTriggerQueueItem-syncGen");
const QString MBLayerItem::kLegacySyncSpecKey = QStringLiteral("MBTriggerQueueItem-syncSpec");

MBLayerItem::Ptr MBLayerItem::createWithLayer(const QString& layerName,
                                              std::weak_ptr<const void> target,
                                              std::function<void(MBLayerItem&)> action,
                                              Refresh refresh) {
  Ptr item(new MBLayerItem());
  item->layerName_ = layerName;
  item->refresh_ = std::move(refresh);
  item->setTarget(std::move(target));
  item->setAction([action = std::move(action)](QKButtonCell& cell) {
    if (action) action(static_cast<MBLayerItem&>(cell));
  });
  item->setTriggerMode(1);
  item->setTriggerOnMain(true);
  item->didCreate();
  return item;
}

QString MBLayerItem::layerName() const {
  std::lock_guard<std::mutex> lock(nameMutex_);
  return layerName_;
}

void MBLayerItem::setLayerName(const QString& name) {
  std::lock_guard<std::mutex> lock(nameMutex_);
  layerName_ = name;
}

bool MBLayerItem::detecting() const {
  return detectingMIDI() || detectingOSC() || detectingKey() || detectingButton();
}

void MBLayerItem::refresh() const {
  if (!deleted() && refresh_) refresh_();
}

bool MBLayerItem::useThisSource(const KeyPath& path) {
  const bool used = QKButtonCell::useThisSource(path);
  refresh();
  return used;
}

void MBLayerItem::setSyncFlagAndRefresh(bool flag) {
  setSyncFlag(flag);
  refresh();
}

QString MBLayerItem::humanReadableName() const { return MBShortcutName::forQueueItem(syncArray()); }

QVariantMap MBLayerItem::createSnapshot() const {
  const QString name = layerName();
  if (name.isEmpty()) return {};
  return {{kSuperSnapKey, QKButtonCell::createSnapshot()},
          {kLayerNameKey, name},
          {kActiveKey, active()}};
}

void MBLayerItem::loadSnapshot(const QVariantMap& snapshot, bool andOutput) {
  const QVariant superSnap = snapshot.value(kSuperSnapKey);
  const bool hasOwnPath = superSnap.typeId() == QMetaType::QVariantMap;
  if (hasOwnPath) QKButtonCell::loadSnapshot(superSnap.toMap(), andOutput);
  const QVariant name = snapshot.value(kLayerNameKey);
  if (name.typeId() == QMetaType::QString) setLayerName(name.toString());
  const QVariant active = snapshot.value(kActiveKey);
  if (VariantNumbers::isNumber(active, true)) setActive(active.toBool());
  setTriggerMode(1);
  // A cell always holds a path; one that came without its own snapshot is
  // an old record, bound through the legacy keys when it has both.
  if (!hasOwnPath) {
    const QVariant gen = snapshot.value(kLegacySyncGenKey);
    const QVariant spec = snapshot.value(kLegacySyncSpecKey);
    if (gen.typeId() == QMetaType::QString && spec.typeId() == QMetaType::QString) {
      useThisSource({gen.toString(), spec.toString()});
      setSyncFlag(true);
    } else {
      setSyncFlag(false);
    }
  }
}

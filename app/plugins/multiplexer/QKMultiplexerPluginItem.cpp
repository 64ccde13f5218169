#include "app/plugins/multiplexer/QKMultiplexerPluginItem.h"

#include "app/plugins/notestovalue/QKNTVShortcut.h"
#include "platform/foundation/Log.h"

const QString QKMultiplexerPluginItem::kSuperSnapKey = QStringLiteral("superSnap");
const QString QKMultiplexerPluginItem::kSliderSyncArrayKey = QStringLiteral("sliderSyncArray");

namespace {

// A stored key path: a non-empty list of strings, else nothing.
std::optional<KeyPath> storedPath(const QVariant& value) {
  if (value.typeId() != QMetaType::QVariantList && value.typeId() != QMetaType::QStringList)
    return std::nullopt;
  KeyPath path;
  for (const QVariant& component : value.toList()) {
    if (component.typeId() != QMetaType::QString) return std::nullopt;
    path << component.toString();
  }
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace

QKMultiplexerPluginItem::Ptr QKMultiplexerPluginItem::createWithSliderSyncArray(
    const std::optional<KeyPath>& path, std::weak_ptr<const void> target,
    std::function<void(QKMultiplexerPluginItem&)> action, Refresh refresh) {
  Ptr item(new QKMultiplexerPluginItem());
  item->sliderSyncArray_ = path;
  item->refresh_ = std::move(refresh);
  item->setTarget(std::move(target));
  item->setAction([action = std::move(action)](QKButtonCell& cell) {
    if (action) action(static_cast<QKMultiplexerPluginItem&>(cell));
  });
  item->setTriggerMode(1);
  item->didCreate();
  return item;
}

std::optional<KeyPath> QKMultiplexerPluginItem::sliderSyncArray() const {
  std::lock_guard lock(pathMutex_);
  return sliderSyncArray_;
}

void QKMultiplexerPluginItem::setSliderSyncArray(const std::optional<KeyPath>& path) {
  if (deleted()) return;
  std::lock_guard lock(pathMutex_);
  sliderSyncArray_ = path;
}

bool QKMultiplexerPluginItem::detecting() const {
  return detectingMIDI() || detectingOSC() || detectingKey() || detectingButton();
}

void QKMultiplexerPluginItem::refresh() const {
  if (!deleted() && refresh_) refresh_();
}

bool QKMultiplexerPluginItem::useThisSource(const KeyPath& path) {
  const bool used = QKButtonCell::useThisSource(path);
  refresh();
  return used;
}

void QKMultiplexerPluginItem::setSyncFlagAndRefresh(bool flag) {
  setSyncFlag(flag);
  refresh();
}

QString QKMultiplexerPluginItem::humanReadableName() const {
  return QKNTVShortcut::humanReadableName(syncArray());
}

QVariantMap QKMultiplexerPluginItem::createSnapshot() const {
  if (deleted()) return {};
  QVariantMap snapshot{{kSuperSnapKey, QKButtonCell::createSnapshot()}};
  if (const std::optional<KeyPath> path = sliderSyncArray())
    snapshot.insert(kSliderSyncArrayKey, QVariant(*path));
  return snapshot;
}

void QKMultiplexerPluginItem::loadSnapshot(const QVariantMap& snapshot, bool andOutput) {
  if (deleted()) return;
  const QVariant superSnap = snapshot.value(kSuperSnapKey);
  if (superSnap.typeId() == QMetaType::QVariantMap)
    QKButtonCell::loadSnapshot(superSnap.toMap(), andOutput);
  if (!snapshot.contains(kSliderSyncArrayKey)) return;
  const std::optional<KeyPath> path = storedPath(snapshot.value(kSliderSyncArrayKey));
  if (!path) Log::line(QStringLiteral("\t\terr: multiplexer input without a usable source path"));
  setSliderSyncArray(path);
  refresh();
}

#include "framework/controls/QKLocalPresetButtonCell.h"

namespace {
const QString kSuperSnap = QStringLiteral("superSnap");
const QString kStoredSnapshot = QStringLiteral("storedSnapshot");
}  // namespace

std::shared_ptr<QKLocalPresetButtonCell> QKLocalPresetButtonCell::create() {
  std::shared_ptr<QKLocalPresetButtonCell> cell(new QKLocalPresetButtonCell());
  cell->didCreate();
  return cell;
}

std::optional<QVariantMap> QKLocalPresetButtonCell::storedSnapshot() const {
  if (deleted()) return std::nullopt;
  std::lock_guard<std::mutex> lock(storedMutex_);
  return storedSnapshot_;
}

void QKLocalPresetButtonCell::setStoredSnapshot(std::optional<QVariantMap> snapshot) {
  if (deleted()) return;
  std::lock_guard<std::mutex> lock(storedMutex_);
  storedSnapshot_ = std::move(snapshot);
}

QVariantMap QKLocalPresetButtonCell::createSnapshot() const {
  if (deleted()) return {};
  QVariantMap snapshot{{kSuperSnap, QKButtonCell::createSnapshot()}};
  if (const auto stored = storedSnapshot()) snapshot.insert(kStoredSnapshot, *stored);
  return snapshot;
}

void QKLocalPresetButtonCell::loadSnapshot(const QVariantMap& snapshot, bool andOutput) {
  if (deleted()) return;
  const QVariant super = snapshot.value(kSuperSnap);
  if (super.typeId() == QMetaType::QVariantMap)
    QKButtonCell::loadSnapshot(super.toMap(), andOutput);
  const QVariant stored = snapshot.value(kStoredSnapshot);
  setStoredSnapshot(stored.typeId() == QMetaType::QVariantMap
                        ? std::optional<QVariantMap>(stored.toMap())
                        : std::nullopt);
}

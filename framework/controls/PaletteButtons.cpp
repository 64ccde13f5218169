#include "framework/controls/PaletteButtons.h"

#include "framework/controls/QKButtonCell.h"

void PaletteButtons::set(const QString& key, const std::shared_ptr<QKButtonCell>& button) {
  std::lock_guard<std::mutex> lock(mutex_);
  buttons_[key] = button;
}

std::shared_ptr<QKButtonCell> PaletteButtons::button(const QString& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = buttons_.find(key);
  return it == buttons_.end() ? nullptr : it->second.lock();
}

void PaletteButtons::putSnapshots(const QStringList& keys, QVariantMap& dictionary) const {
  for (const QString& key : keys) {
    auto found = button(key);
    if (!found) continue;
    const QVariantMap snapshot = found->createSnapshot();
    if (!snapshot.isEmpty()) dictionary.insert(key, snapshot);
  }
}

void PaletteButtons::matchSnapshots(const QStringList& keys, const QVariantMap& dictionary) const {
  for (const QString& key : keys) {
    const QVariant stored = dictionary.value(key);
    if (stored.typeId() != QMetaType::QVariantMap) continue;
    if (auto found = button(key)) found->loadSnapshot(stored.toMap());
  }
}

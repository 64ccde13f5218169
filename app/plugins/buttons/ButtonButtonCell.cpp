#include "app/plugins/buttons/ButtonButtonCell.h"

const QString ButtonButtonCell::kMutexFlag = QStringLiteral("mutexFlag");
const QString ButtonButtonCell::kMutexGroup = QStringLiteral("mutexGroup");

std::shared_ptr<ButtonButtonCell> ButtonButtonCell::create() {
  std::shared_ptr<ButtonButtonCell> cell(new ButtonButtonCell());
  cell->didCreate();
  return cell;
}

void ButtonButtonCell::setPluginName(const QString& name) {
  std::lock_guard<std::mutex> lock(nameMutex_);
  pluginName_ = name;
}

QString ButtonButtonCell::pluginName() const {
  std::lock_guard<std::mutex> lock(nameMutex_);
  return pluginName_;
}

bool ButtonButtonCell::useThisSource(const KeyPath& path) {
  if (path.isEmpty() || deleted()) return false;
  const QString plugin = pluginName();
  if (plugin.isEmpty() || path.front() == plugin) return false;
  return QKButtonCell::useThisSource(path);
}

QVariantMap ButtonButtonCell::createSnapshot() const {
  QVariantMap snapshot = QKButtonCell::createSnapshot();
  snapshot.insert(kMutexFlag, mutexFlag());
  snapshot.insert(kMutexGroup, mutexGroup());
  return snapshot;
}

void ButtonButtonCell::loadSnapshot(const QVariantMap& snapshot, bool andOutput) {
  QKButtonCell::loadSnapshot(snapshot, andOutput);
  if (snapshot.contains(kMutexFlag)) setMutexFlag(snapshot.value(kMutexFlag).toBool());
  bool ok = false;
  const int group = snapshot.value(kMutexGroup).toInt(&ok);
  if (ok) setMutexGroup(group);
}

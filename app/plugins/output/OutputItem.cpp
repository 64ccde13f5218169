#include "app/plugins/output/OutputItem.h"

#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"

const QString OutputItem::kSyncArray = QStringLiteral("syncArray");
const QString OutputItem::kSyncFlag = QStringLiteral("syncFlag");

OutputItem::OutputItem(DataSourceController* controller, EmptyPath emptyPath)
    : controller_(controller), emptyPath_(emptyPath) {}

OutputItem::~OutputItem() = default;

KeyPath OutputItem::syncArray() const {
  std::lock_guard<std::mutex> lock(pathMutex_);
  return syncArray_;
}

void OutputItem::setSource(const KeyPath& path) {
  deletedUnderMe_.store(false);
  const bool wasSubscribed = syncFlag_.load();
  if (wasSubscribed) setSyncFlag(false);
  {
    std::lock_guard<std::mutex> lock(pathMutex_);
    syncArray_ = path;
  }
  lastOutputValue_.store(kNoValue);
  if (wasSubscribed) setSyncFlag(true);
}

void OutputItem::setSyncFlag(bool flag) {
  if (syncFlag_.load() == flag || deleted_.load()) return;
  syncFlag_.store(flag);
  bool succeeded = true;
  if (flag) {
    succeeded = subscribe();
  } else if (controller_) {
    controller_->unsubscribeObject(this, syncArray());
  }
  if (succeeded) {
    deletedUnderMe_.store(false);
    return;
  }
  syncFlag_.store(false);
  deletedUnderMe_.store(true);
  subscribingFailed();
}

bool OutputItem::subscribe() {
  const KeyPath path = syncArray();
  if (path.isEmpty()) return emptyPath_ == EmptyPath::WaitsForAPath;
  if (!controller_) return false;
  const std::shared_ptr<OutputItem> self = shared_from_this();
  return controller_->subscribeObject(
      std::weak_ptr<DataSourceTarget>(self),
      [](DataSourceTarget& target, DataSource* source) {
        static_cast<OutputItem&>(target).dataSourceUpdated(source);
      },
      path);
}

void OutputItem::prepareToBeDeleted() {
  if (deleted_.load()) return;
  setSyncFlag(false);
  deleted_.store(true);
}

void OutputItem::dataSourceUpdated(DataSource* source) {
  if (!source || deleted_.load()) return;
  const float value = source->value();
  if (value == lastOutputValue_.load()) return;
  if (valueChanged(value)) lastOutputValue_.store(value);
}

void OutputItem::dataSourceNameChanged(DataSource* source) {
  if (!source) return;
  const KeyPath path = source->pathArray();
  std::lock_guard<std::mutex> lock(pathMutex_);
  syncArray_ = path;
}

void OutputItem::currentDataSourceDeletedUnderMe() {
  syncFlag_.store(false);
  deletedUnderMe_.store(true);
  changed();
}

void OutputItem::wasThisDataSourceDeletedOutFromUnderMe(const KeyPath& path) {
  if (path.isEmpty() || syncFlag_.load() || !deletedUnderMe_.load() || deleted_.load()) return;
  const KeyPath mine = syncArray();
  if (mine.isEmpty() || mine != path) return;
  lastOutputValue_.store(kNoValue);
  setSyncFlag(true);
  changed();
}

void OutputItem::changed() const {
  if (changed_) changed_();
}

void OutputItem::addSourceToSnapshot(QVariantMap& snapshot) const {
  const KeyPath path = syncArray();
  if (!path.isEmpty()) snapshot.insert(kSyncArray, QStringList(path));
  snapshot.insert(kSyncFlag, syncFlag_.load());
}

void OutputItem::loadSourceFromSnapshot(const QVariantMap& snapshot, const KeyPath& otherwise) {
  const QVariant path = snapshot.value(kSyncArray);
  if (path.typeId() == QMetaType::QVariantList || path.typeId() == QMetaType::QStringList)
    setSource(path.toStringList());
  else if (!otherwise.isEmpty())
    setSource(otherwise);
  const QVariant flag = snapshot.value(kSyncFlag);
  if (flag.isValid() && flag.canConvert<bool>()) setSyncFlag(flag.toBool());
}

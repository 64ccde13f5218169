#include "framework/datasource/DSComponentHolder.h"

#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DataSourceController.h"

DSComponentHolder::DSComponentHolder(const QString& name, int32_t type,
                                     std::vector<QString> componentNames)
    : DataSourceHolder(name, type), componentNames_(std::move(componentNames)) {}

void DSComponentHolder::setParentSource(const std::shared_ptr<DataSourceHolder>& parent,
                                        DataSourceController* fromDSC) {
  DataSourceHolder::setParentSource(parent, fromDSC);
  if (isDeleted() || componentsCreated_.exchange(true)) return;
  createComponents(fromDSC);
}

void DSComponentHolder::createComponents(DataSourceController* dsc) {
  const KeyPath path = pathArray();
  const std::weak_ptr<DataSourceTarget> self =
      std::static_pointer_cast<DSComponentHolder>(shared_from_this());
  const auto pull = [](DataSourceTarget& holder, DataSource* child) {
    static_cast<DSComponentHolder&>(holder).setDataSourceVal(child);
  };
  const int count = std::min<int>(kMaxComponents, static_cast<int>(componentNames_.size()));
  for (int i = 0; i < count; ++i) {
    const QString& name = componentNames_[static_cast<std::size_t>(i)];
    if (elements().objectForKey(name)) continue;
    const auto child = DSFloatFrequent::createWithName(name, DSType::FloatFrequent, self, pull);
    components_[static_cast<std::size_t>(i)].store(child.get(), std::memory_order_release);
    if (dsc)
      dsc->setDataSource(child, path + KeyPath{name});
    else
      safelyInsertObject(child, name, nullptr);
  }
}

void DSComponentHolder::setDataSourceVal(DataSource* child) {
  for (std::size_t i = 0; i < components_.size(); ++i) {
    if (components_[i].load(std::memory_order_acquire) != child) continue;
    float value = 0.0f;
    if (pullComponent(static_cast<int>(i), value)) child->setValue(value);
    return;
  }
}

void DSComponentHolder::storeDelegate(std::weak_ptr<void> delegate) {
  std::lock_guard<std::mutex> lock(delegateMutex_);
  delegate_ = std::move(delegate);
}

std::shared_ptr<void> DSComponentHolder::lockDelegate() {
  std::lock_guard<std::mutex> lock(delegateMutex_);
  return delegate_.lock();
}

void DSComponentHolder::prepareToBeDeleted() {
  storeDelegate({});
  DataSourceHolder::prepareToBeDeleted();
}

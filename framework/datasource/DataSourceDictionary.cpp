#include "framework/datasource/DataSourceDictionary.h"

#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceHolder.h"

std::shared_ptr<DataSource> DataSourceDictionary::dataSourceForKeyArray(const KeyPath& path,
                                                                        qsizetype from) const {
  if (from < 0 || from >= path.size()) return nullptr;
  RWTryLock::ReadGuard guard(lock_);
  const auto it = map_.find(path.at(from));
  if (it == map_.end()) return nullptr;
  if (from + 1 == path.size()) return it->second;
  const DataSourceHolder* holder = it->second->asHolder();
  return holder ? holder->elements().dataSourceForKeyArray(path, from + 1) : nullptr;
}

std::shared_ptr<DataSource> DataSourceDictionary::objectForKey(const QString& key) const {
  RWTryLock::ReadGuard guard(lock_);
  const auto it = map_.find(key);
  return it == map_.end() ? nullptr : it->second;
}

DataSourceDictionary::Insertion DataSourceDictionary::setObject(std::shared_ptr<DataSource> node,
                                                                const QString& key) {
  Insertion result;
  if (!node) return result;
  RWTryLock::WriteGuard guard(lock_);
  if (!guard.ownsLock() || closed_) return result;
  const DataSource& stored = *node;
  stored.unlessDeleted([&] {
    auto& slot = map_[KeyPathAdditions::ownCopy(key)];
    result.displaced = std::exchange(slot, std::move(node));
    result.inserted = true;
  });
  return result;
}

std::shared_ptr<DataSource> DataSourceDictionary::setObjectIfAbsent(
    const std::shared_ptr<DataSource>& node, const QString& key, bool* inserted) {
  *inserted = false;
  RWTryLock::WriteGuard guard(lock_);
  if (!guard.ownsLock() || closed_) return nullptr;
  const auto [it, added] = map_.try_emplace(KeyPathAdditions::ownCopy(key), node);
  *inserted = added;
  return it->second;
}

std::shared_ptr<DataSource> DataSourceDictionary::removeObjectForKey(const QString& key) {
  RWTryLock::WriteGuard guard(lock_);
  if (!guard.ownsLock()) return nullptr;
  const auto it = map_.find(key);
  if (it == map_.end()) return nullptr;
  std::shared_ptr<DataSource> removed = std::move(it->second);
  map_.erase(it);
  return removed;
}

bool DataSourceDictionary::removeObjectForKey(const QString& key, const DataSource* ifIdenticalTo) {
  return removeIdentical(key, ifIdenticalTo, true);
}

bool DataSourceDictionary::takeOutForMove(const QString& key, const DataSource* node) {
  return removeIdentical(key, node, false);
}

bool DataSourceDictionary::removeIdentical(const QString& key, const DataSource* node,
                                           bool evenWhenClosed) {
  std::shared_ptr<DataSource> removed;  // released after the lock
  RWTryLock::WriteGuard guard(lock_);
  if (!guard.ownsLock() || (closed_ && !evenWhenClosed)) return false;
  const auto it = map_.find(key);
  if (it == map_.end() || it->second.get() != node) return false;
  removed = std::move(it->second);
  map_.erase(it);
  return true;
}

bool DataSourceDictionary::insertAndPlace(const std::shared_ptr<DataSource>& node,
                                          const QString& key,
                                          const std::shared_ptr<DataSourceHolder>& parent,
                                          DataSourceController* dsc) {
  if (!node || key.isNull()) return false;
  node->setSourceName(key);
  const Insertion insertion = setObject(node, key);
  if (!insertion.inserted) return false;
  if (insertion.displaced && insertion.displaced != node) insertion.displaced->prepareToBeDeleted();
  node->setParentSource(parent, dsc);
  return true;
}

std::vector<std::shared_ptr<DataSource>> DataSourceDictionary::close() {
  std::vector<std::shared_ptr<DataSource>> children;
  RWTryLock::WriteGuard guard(lock_);
  if (guard.ownsLock()) closed_ = true;  // refused only to a reader of this level: read anyway
  children.reserve(map_.size());
  for (const auto& entry : map_) children.push_back(entry.second);
  return children;
}

std::size_t DataSourceDictionary::count() const {
  RWTryLock::ReadGuard guard(lock_);
  return map_.size();
}

std::vector<std::shared_ptr<DataSource>> DataSourceDictionary::allObjects() const {
  std::vector<std::shared_ptr<DataSource>> nodes;
  RWTryLock::ReadGuard guard(lock_);
  nodes.reserve(map_.size());
  for (const auto& entry : map_) nodes.push_back(entry.second);
  return nodes;
}

void DataSourceDictionary::DSCProcAll() const {
  RWTryLock::ReadGuard guard(lock_);
  for (const auto& entry : map_) entry.second->DSCProc();
}

#include "framework/datasource/DataSourceHolder.h"

#include "framework/datasource/DataSourceMenuBuilder.h"

std::shared_ptr<DataSourceHolder> DataSourceHolder::createWithName(const QString& name,
                                                                   int32_t ofType) {
  return std::shared_ptr<DataSourceHolder>(new DataSourceHolder(name, ofType));
}

DataSourceHolder::DataSourceHolder(const QString& name, int32_t type) : DataSource(name, type) {}

std::shared_ptr<DataSourceHolder> DataSourceHolder::sharedHolder() {
  return std::static_pointer_cast<DataSourceHolder>(shared_from_this());
}

std::shared_ptr<DataSource> DataSourceHolder::dataSourceForKeyArray(const KeyPath& path) const {
  return elements_.dataSourceForKeyArray(path);
}

std::shared_ptr<DataSource> DataSourceHolder::dataSourceForValidMutableKeyArray(
    KeyPath& path) const {
  std::shared_ptr<DataSource> found = elements_.dataSourceForKeyArray(path);
  if (found) path.clear();
  return found;
}

bool DataSourceHolder::safelyInsertObject(const std::shared_ptr<DataSource>& node,
                                          const QString& forKey, DataSourceController* fromDSC) {
  return elements_.insertAndPlace(node, forKey, sharedHolder(), fromDSC);
}

std::shared_ptr<DataSource> DataSourceHolder::safelyRemoveObjectForKey(const QString& key) {
  if (key.isNull()) return nullptr;
  return elements_.removeObjectForKey(key);
}

void DataSourceHolder::DSCProc() {
  const int32_t type = sourceType();
  if (type == DSType::InputHolder || type == DSType::UntickedHolder || type == DSType::Deleted)
    return;
  elements_.DSCProcAll();
  DataSource::DSCProc();
}

void DataSourceHolder::prepareToBeDeleted() {
  if (isDeleted()) return;
  for (const auto& child : elements_.close()) child->prepareToBeDeleted();
  DataSource::prepareToBeDeleted();
}

void DataSourceHolder::setParentSource(const std::shared_ptr<DataSourceHolder>& parent,
                                       DataSourceController* fromDSC) {
  DataSource::setParentSource(parent, fromDSC);
  const auto self = sharedHolder();
  for (const auto& child : elements_.allObjects()) child->setParentSource(self, fromDSC);
}

bool DataSourceHolder::visibleInContextualMenu() const {
  const int32_t type = sourceType();
  if (type == DSType::Deleted || type == DSType::InputHolder) return false;
  return DataSource::visibleInContextualMenu();
}

void DataSourceHolder::addObjectAtKey(const QString& key, QString& toDescriptionString) const {
  DataSource::addObjectAtKey(key, toDescriptionString);
  elements_.forEachLocked([&](const QString& name, const std::shared_ptr<DataSource>& child) {
    child->addObjectAtKey(name, toDescriptionString);
  });
}

QString DataSourceHolder::descriptionPrefix() const {
  switch (sourceType()) {
    case DSType::Holder:
      return QStringLiteral("DSH");
    case DSType::InputHolder:
      return QStringLiteral("DSIH");
    case DSType::UntickedHolder:
      return QStringLiteral("DSIVH");
    case DSType::ColorHolder:
      return QStringLiteral("DSCH");
    case DSType::PointHolder:
      return QStringLiteral("DSPH");
    default:
      return QStringLiteral("UDSH");
  }
}

DataSourceMenuItems DataSourceHolder::extractMenuItemsMatchingMask(int mask, int toLevel,
                                                                   int carryOverToLevel) const {
  return DataSourceMenuBuilder::extract(elements_, mask, toLevel, carryOverToLevel);
}

DataSourceMenuItems DataSourceHolder::extractMenuItemsToLevel(int toLevel,
                                                              int carryOverToLevel) const {
  return extractMenuItemsMatchingMask(DataSourceMenuMask::Leaves, toLevel, carryOverToLevel);
}

DataSourceMenuItems DataSourceHolder::getDataSourcesMenuItems() const {
  return DataSourceMenuBuilder::flatList(elements_);
}

#pragma once

#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceDictionary.h"
#include "framework/datasource/DataSourceMenuItem.h"

// A branch of the data-source tree: a node with named children.
class DataSourceHolder : public DataSource {
 public:
  static std::shared_ptr<DataSourceHolder> createWithName(const QString& name,
                                                          int32_t ofType = DSType::Holder);

  // Lookup below this holder (the path starts with a child's name).
  std::shared_ptr<DataSource> dataSourceForKeyArray(const KeyPath& path) const;
  // The same, consuming the names it walked from the front of `path`.
  std::shared_ptr<DataSource> dataSourceForValidMutableKeyArray(KeyPath& path) const;
  std::size_t elementDictCount() const { return elements_.count(); }

  // Names the node after the key, stores it (a node it displaces is prepared
  // for deletion) and places it under this holder.
  bool safelyInsertObject(const std::shared_ptr<DataSource>& node, const QString& forKey,
                          DataSourceController* fromDSC);
  // Removes and answers the child (null when there is none).
  std::shared_ptr<DataSource> safelyRemoveObjectForKey(const QString& key);

  DataSourceDictionary& elements() { return elements_; }
  const DataSourceDictionary& elements() const { return elements_; }

  void DSCProc() override;
  void prepareToBeDeleted() override;
  // Places the holder, then every child again, so that a subtree that moved
  // or was renamed announces every new path.
  void setParentSource(const std::shared_ptr<DataSourceHolder>& parent,
                       DataSourceController* fromDSC) override;
  bool visibleInContextualMenu() const override;
  void addObjectAtKey(const QString& key, QString& toDescriptionString) const override;

  // Menus built from the children (see DataSourceMenuBuilder).
  DataSourceMenuItems extractMenuItemsMatchingMask(int mask, int toLevel,
                                                   int carryOverToLevel) const;
  DataSourceMenuItems extractMenuItemsToLevel(int toLevel, int carryOverToLevel) const;
  // The flat list of the children.
  virtual DataSourceMenuItems getDataSourcesMenuItems() const;

  DataSourceHolder* asHolder() override { return this; }
  const DataSourceHolder* asHolder() const override { return this; }

 protected:
  DataSourceHolder(const QString& name, int32_t type);
  QString descriptionPrefix() const override;
  std::shared_ptr<DataSourceHolder> sharedHolder();

 private:
  DataSourceDictionary elements_;
};

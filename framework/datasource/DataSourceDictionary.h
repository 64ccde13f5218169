#pragma once

#include "framework/datasource/KeyPath.h"
#include "platform/threading/RWTryLock.h"

#include <QString>

#include <map>
#include <memory>
#include <vector>

class DataSource;
class DataSourceController;
class DataSourceHolder;

// One level of the data-source tree: the named children of a holder, or the
// controller's roots, with the level's reader/writer lock. Names are kept in
// ascending order by plain (case-sensitive) comparison.
//
// Writers (insertion, removal) take the lock for writing and are refused,
// with a log line, on a thread that holds it for reading. Nodes leave the
// dictionary as shared_ptrs handed back to the caller, so none is destroyed
// under the lock.
class DataSourceDictionary {
 public:
  using Map = std::map<QString, std::shared_ptr<DataSource>>;

  // The node at path[from …] below this level; holders are descended with
  // the levels' read locks held top-down. Null when a name is missing or a
  // leaf has names left over.
  std::shared_ptr<DataSource> dataSourceForKeyArray(const KeyPath& path, qsizetype from = 0) const;
  std::shared_ptr<DataSource> objectForKey(const QString& key) const;

  struct Insertion {
    bool inserted = false;
    std::shared_ptr<DataSource> displaced;  // what stood under the key before
  };
  // Stores the node under the key, replacing what was there; refused for a
  // node that is deleted (checked under the level's lock and the node's).
  Insertion setObject(std::shared_ptr<DataSource> node, const QString& key);
  // Stores the node unless something stands under the key; answers the node
  // now under the key (null when the write was refused).
  std::shared_ptr<DataSource> setObjectIfAbsent(const std::shared_ptr<DataSource>& node,
                                                const QString& key, bool* inserted);
  // Removes and answers the entry under the key (null: none, or refused).
  std::shared_ptr<DataSource> removeObjectForKey(const QString& key);
  // Removes the entry only when it is this very node.
  bool removeObjectForKey(const QString& key, const DataSource* ifIdenticalTo);
  // Takes the node out to move it elsewhere: only when it is this very node
  // and the level is not closed (a holder being deleted takes its children
  // with it).
  bool takeOutForMove(const QString& key, const DataSource* node);

  // Names the node after the key, stores it, prepares a node it displaced for
  // deletion (so that node's subscribers hear of it) and places the node
  // under `parent` (null: a root).
  bool insertAndPlace(const std::shared_ptr<DataSource>& node, const QString& key,
                      const std::shared_ptr<DataSourceHolder>& parent, DataSourceController* dsc);

  // Refuses every later insertion and move out (a holder being deleted) and
  // answers the children at that moment, for the deletion's walk: a node
  // inserted or moved concurrently is either refused or in the answer.
  std::vector<std::shared_ptr<DataSource>> close();

  std::size_t count() const;
  // A copy of the children, in name order, for walks that call out.
  std::vector<std::shared_ptr<DataSource>> allObjects() const;

  // Every child's tick step, in name order, under the read lock.
  void DSCProcAll() const;

  // Calls `visit(name, node)` in name order under the read lock; `visit` must
  // not change this level.
  template <class Visit>
  void forEachLocked(Visit&& visit) const {
    RWTryLock::ReadGuard guard(lock_);
    for (const auto& [name, node] : map_) visit(name, node);
  }

  RWTryLock& lock() const { return lock_; }

 private:
  // Removes the entry only when it is this very node; a closed level keeps
  // it unless `evenWhenClosed`.
  bool removeIdentical(const QString& key, const DataSource* node, bool evenWhenClosed);
  mutable RWTryLock lock_;
  Map map_;
  bool closed_ = false;
};

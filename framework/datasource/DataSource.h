#pragma once

#include "framework/datasource/DataSourceCall.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/datasource/KeyPath.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class DataSourceController;
class DSFloatFrequent;
class DataSourceHolder;

// A node of the data-source tree: a named value (or branch) that producers
// write and subscribers receive. Nodes are owned by the tree (the
// controller's roots and each holder's dictionary) through std::shared_ptr;
// a producer that keeps writing into a node keeps a shared_ptr to it.
//
// Subscriptions are kept as an immutable list that a writer swaps whole
// under the node's write mutex and publishes through an atomic pointer; the
// list it replaced is retired through DeliveryEpoch. A push takes no lock and
// no count: inside a DeliveryEpoch::Reader it reads the published list and
// calls the subscribers, so a subscriber may subscribe or unsubscribe
// anything, this node included, from its own action. The set call is
// published the same way.
//
// Values and flags are atomics: a reader may see a value one tick early or
// late, never a torn one.
class DataSource : public std::enable_shared_from_this<DataSource> {
 public:
  using CallList = std::vector<std::shared_ptr<DataSourceCall>>;

  // Null for a null name. With a target and an action, also installs the
  // set call made of them.
  static std::shared_ptr<DataSource> createWithName(
      const QString& name, int32_t ofType = DSType::Plain,
      std::weak_ptr<DataSourceTarget> setByTarget = {}, DataSourceCall::Action withAction = {});

  virtual ~DataSource();
  DataSource(const DataSource&) = delete;
  DataSource& operator=(const DataSource&) = delete;

  int32_t sourceType() const { return sourceType_.load(std::memory_order_acquire); }
  // Stores the code and tells every subscriber (dataSourceTypeChanged).
  void setSourceType(int32_t type);
  bool isDeleted() const { return sourceType() == DSType::Deleted; }
  // Runs `store` (a level of the tree storing this node) unless the node is
  // deleted, and holds its deletion off meanwhile: a node being deleted is
  // never stored in a live level. False when deleted. `store` must not take
  // another node's identity.
  template <class Store>
  bool unlessDeleted(Store&& store) const {
    std::lock_guard<std::mutex> lock(identityMutex_);
    if (isDeleted()) return false;
    store();
    return true;
  }

  QString sourceName() const;
  // A null name is ignored.
  void setSourceName(const QString& name);
  // Null for a root (or a node not placed yet).
  std::shared_ptr<DataSourceHolder> parentSource() const;
  // Names in the node's path; -1 until placed.
  int32_t depth() const { return depth_.load(std::memory_order_relaxed); }

  std::shared_ptr<DataSourceCall> setCall() const;
  void setSetCall(std::shared_ptr<DataSourceCall> call);

  bool needsToBePushed() const { return needsToBePushed_.load(std::memory_order_acquire); }
  void setNeedsToBePushed(bool flag) { needsToBePushed_.store(flag, std::memory_order_release); }

  // The names from the root down to this node.
  KeyPath pathArray() const;

  // Appends the call unless it is already there; ignored (false) on a
  // deleted node.
  bool addThisFetchCall(std::shared_ptr<DataSourceCall> call);
  // Removes the first call whose target is `target` (one per request);
  // false when there is none or the node is deleted.
  bool removeFetchCallForObject(const DataSourceTarget* target);
  std::size_t fetchCallCount() const;

  // The tick step: bangs the set call, then delivers a pending value to the
  // subscribers in subscription order.
  virtual void DSCProc();
  // Type -1; the subscribers are told (currentDataSourceDeletedUnderMe) and
  // dropped, the set call released. Idempotent.
  virtual void prepareToBeDeleted();
  // Places the node under `parent` (null: a root): announces the name to the
  // subscribers, sets the depth and tells the controller that a node now
  // stands at the path.
  virtual void setParentSource(const std::shared_ptr<DataSourceHolder>& parent,
                               DataSourceController* fromDSC);
  virtual bool visibleInContextualMenu() const;

  virtual QString description() const;
  // Appends one tab per ancestor, the description and a newline (a holder
  // then its children).
  virtual void addObjectAtKey(const QString& key, QString& toDescriptionString) const;
  void addTabsToMutString(QString& string) const;

  // Value access. Nodes without a value of their own read 0.0 and take no
  // value; float nodes override these.
  virtual bool takesValue() const { return false; }
  virtual float value() const { return 0.0f; }
  virtual void setValue(float value) { (void)value; }

  virtual DataSourceHolder* asHolder() { return nullptr; }
  virtual const DataSourceHolder* asHolder() const { return nullptr; }
  // The float node this is, without a dynamic cast on the input threads.
  virtual const DSFloatFrequent* asFloatFrequent() const { return nullptr; }

  // The controller's tick counter (0 … 59999).
  static int32_t DSCTime();

 protected:
  DataSource(const QString& name, int32_t type);

  template <class T>
  static std::shared_ptr<T> withSetCall(std::shared_ptr<T> node,
                                        std::weak_ptr<DataSourceTarget> setByTarget,
                                        DataSourceCall::Action withAction) {
    if (withAction)
      node->setSetCall(
          DataSourceCall::createWithTarget(std::move(setByTarget), std::move(withAction)));
    return node;
  }

  // The part of the tick step that delivers a pending value.
  void pushIfNeeded();
  // The prefix of the description ("DS" gives "<DS: name>").
  virtual QString descriptionPrefix() const;
  // Announces the name and path of this node (the placement step of a node
  // that has a name and is not deleted).
  void announcePlacement(DataSourceController* dsc);
  std::shared_ptr<const CallList> fetchCalls() const;

 private:
  void bangSetCall();

  std::atomic<int32_t> sourceType_;
  std::atomic<int32_t> depth_{-1};
  std::atomic<bool> needsToBePushed_{false};
  std::atomic<bool> hasSetCall_{false};

  // Guards the name, the parent and the step to deleted. A leaf lock:
  // nothing else is taken while it is held.
  mutable std::mutex identityMutex_;
  QString sourceName_;
  std::weak_ptr<DataSourceHolder> parentSource_;

  // Under writeMutex_: stores the list as the owner and the published one;
  // answers the list it replaces, to be retired after the mutex.
  std::shared_ptr<const CallList> publishCallsLocked(std::shared_ptr<const CallList> calls);
  // Under writeMutex_: the list it replaced, null when nothing was removed.
  std::shared_ptr<const CallList> removeFetchCallLocked(const DataSourceTarget* target);

  // What a push reads, inside a DeliveryEpoch::Reader: the objects owned
  // below, or null.
  std::atomic<const CallList*> publishedCalls_{nullptr};
  std::atomic<DataSourceCall*> publishedSetCall_{nullptr};

  // Guards the two owners below. A leaf lock: nothing is called under it.
  mutable std::mutex writeMutex_;
  std::shared_ptr<const CallList> fetchCalls_;
  std::shared_ptr<DataSourceCall> setCall_;
};

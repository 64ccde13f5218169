#pragma once

#include "framework/datasource/DataSourceTarget.h"

#include <atomic>
#include <functional>
#include <memory>

class DataSource;

// One subscription to a node, or a node's producer hook (its set call): a
// target and an action. The call neither owns its target (it holds a
// std::weak_ptr, locked for each delivery) nor its node.
class DataSourceCall {
 public:
  using Action = std::function<void(DataSourceTarget& target, DataSource* source)>;

  // Null unless both a living target and an action are given.
  static std::shared_ptr<DataSourceCall> createWithTarget(std::weak_ptr<DataSourceTarget> target,
                                                          Action action);
  // With a member function of the target as the action.
  template <class T>
  static std::shared_ptr<DataSourceCall> createWithTarget(const std::shared_ptr<T>& target,
                                                          void (T::*action)(DataSource*)) {
    if (!target || !action) return nullptr;
    return createWithTarget(std::weak_ptr<DataSourceTarget>(target),
                            [action](DataSourceTarget& t, DataSource* source) {
                              (static_cast<T&>(t).*action)(source);
                            });
  }

  DataSourceCall(std::weak_ptr<DataSourceTarget> target, Action action);
  DataSourceCall(const DataSourceCall&) = delete;
  DataSourceCall& operator=(const DataSourceCall&) = delete;

  // Sends the action to the target with the node, when the call has a node,
  // is not cancelled and the target is alive. The target is held until the
  // action returns.
  void bang() const;
  // Passed on to the target when it is alive.
  void dataSourceNameChanged(DataSource* source) const;
  void dataSourceTypeChanged(DataSource* source) const;
  void dataSourcePrepareToBeDeleted() const;

  // The target's identity (for unsubscribing); never dereferenced.
  const DataSourceTarget* target() const { return targetIdentity_; }
  bool targetIsAlive() const { return !target_.expired(); }
  DataSource* dataSource() const { return dataSource_.load(std::memory_order_acquire); }
  void setDataSource(DataSource* source) { dataSource_.store(source, std::memory_order_release); }

  // An unsubscribed call delivers nothing more, even from a list that a
  // push on another thread took before the call was removed.
  void cancel() { cancelled_.store(true, std::memory_order_release); }
  bool cancelled() const { return cancelled_.load(std::memory_order_acquire); }
  // Worth keeping in a subscription list.
  bool isLive() const { return !cancelled() && targetIsAlive(); }

 private:
  std::weak_ptr<DataSourceTarget> target_;
  const DataSourceTarget* targetIdentity_;
  Action action_;
  std::atomic<DataSource*> dataSource_{nullptr};
  std::atomic<bool> cancelled_{false};
};

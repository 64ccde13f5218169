#pragma once

class DataSource;

// What a subscription (DataSourceCall) delivers to. A call holds its target
// through a std::weak_ptr: it never keeps the target alive, it skips a target
// that is gone, and a delivery under way holds the target until the action
// returns. So the owner may drop the target at any time; if a delivery is
// under way on another thread, that thread destroys the target when the
// delivery ends.
//
// The action is given with the subscription. The operations below are
// optional (no-ops unless overridden) and run on the thread that changes the
// node.
class DataSourceTarget {
 public:
  virtual ~DataSourceTarget() = default;

  // The node was placed or moved: its path or name changed.
  virtual void dataSourceNameChanged(DataSource* source) { (void)source; }
  virtual void dataSourceTypeChanged(DataSource* source) { (void)source; }
  // The node this target subscribed to is being deleted; no value follows.
  virtual void currentDataSourceDeletedUnderMe() {}
};

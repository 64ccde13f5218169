#pragma once

#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/ExternalSynchObject.h"
#include "framework/datasource/KeyPath.h"

#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class DataSource;
class DataSourceController;

// One row of an output plug-in: a data source followed by its key path,
// whose every new value the row turns into an outgoing message. The row
// subscribes while its flag is on; when its source goes it stops, and when a
// source stands at the same key path again (the data-source controller tells
// its externally synchronised objects) it follows that one by itself.
//
// Values arrive on the pushing thread (the tick, an input thread, the main
// thread); a value equal to the last one sent is skipped, -1 meaning none
// (the next value always goes). Everything else runs on the main thread, but
// for the source events, which come on the thread that changes the tree.
class OutputItem : public DataSourceTarget,
                   public ExternalSynchObject,
                   public std::enable_shared_from_this<OutputItem> {
 public:
  static const QString kSyncArray;  // "syncArray"
  static const QString kSyncFlag;   // "syncFlag"
  static constexpr float kNoValue = -1.0f;

  ~OutputItem() override;

  // Replaces the key path (none: empty); a subscribed row follows the new
  // one at once.
  void setSource(const KeyPath& path);
  KeyPath syncArray() const;
  // Subscribes or unsubscribes; nothing happens when the flag is unchanged.
  void setSyncFlag(bool flag);
  bool syncFlag() const { return syncFlag_.load(); }
  bool deletedUnderMe() const { return deletedUnderMe_.load(); }
  float lastOutputValue() const { return lastOutputValue_.load(); }
  void setLastOutputValue(float value) { lastOutputValue_.store(value); }
  // Unsubscribes; no value is taken afterwards.
  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }

  // Called when the table should show a change of the row's state (any
  // thread).
  void setChangedCallback(std::function<void()> changed) { changed_ = std::move(changed); }

  // The subscribed action.
  void dataSourceUpdated(DataSource* source);

  // DataSourceTarget
  void dataSourceNameChanged(DataSource* source) override;
  void currentDataSourceDeletedUnderMe() override;
  // ExternalSynchObject
  void DSCProc() override {}
  void wasThisDataSourceDeletedOutFromUnderMe(const KeyPath& path) override;

 protected:
  enum class EmptyPath { Fails, WaitsForAPath };
  OutputItem(DataSourceController* controller, EmptyPath emptyPath);

  // A value that differs from the last one; answers whether it was taken
  // (stored as the last one sent).
  virtual bool valueChanged(float value) = 0;
  virtual void subscribingFailed() {}
  // "syncArray" and "syncFlag" added to / read from a row's snapshot.
  void addSourceToSnapshot(QVariantMap& snapshot) const;
  // A snapshot without "syncArray" takes `otherwise` (when not empty).
  void loadSourceFromSnapshot(const QVariantMap& snapshot, const KeyPath& otherwise = {});
  DataSourceController* controller() const { return controller_; }

 private:
  bool subscribe();
  void changed() const;

  DataSourceController* const controller_;
  const EmptyPath emptyPath_;
  mutable std::mutex pathMutex_;  // syncArray_
  KeyPath syncArray_;
  std::atomic<bool> syncFlag_{false};
  std::atomic<bool> deletedUnderMe_{false};
  std::atomic<float> lastOutputValue_{kNoValue};
  std::atomic<bool> deleted_{false};
  std::function<void()> changed_;
};

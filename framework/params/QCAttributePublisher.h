#pragma once

#include "framework/datasource/DSColorHolderDelegate.h"
#include "framework/datasource/DSPointHolderDelegate.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/ExternalSynchObject.h"

#include <QColor>
#include <QHash>
#include <QPointF>
#include <QSizeF>
#include <QVariant>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class DataSource;
class DataSourceController;
class QKQCComposition;
class QKQCSTap;
class RWTryLock;
namespace composition {
class QCRenderer;
}

// Makes a composition's published outputs available to the rest of the
// program: under the group named by the category, a number output becomes a
// float source (type 1) and a boolean one a button-like float (type 5), a
// colour output a colour holder and an "XY" structure output a point
// holder; an image output becomes a source tap "<category>:<key>".
//
// Values pass from the render thread to the data-source tick through the
// storage, guarded by the owner's read/write lock: the render thread stores
// each frame's values under the write lock, taken by try-lock (a busy lock
// skips that frame's storing); the tick pulls numbers (clamped to 0 … 1),
// colour and point components under the read lock, and pushes a changed
// boolean to its source as an external synch object, so that no subscriber
// runs on the render thread. Publishing and removal belong to the main
// thread; removal takes the write lock.
class QCAttributePublisher : public DataSourceTarget,
                             public DSColorHolderDelegate,
                             public DSPointHolderDelegate,
                             public ExternalSynchObject,
                             public std::enable_shared_from_this<QCAttributePublisher> {
 public:
  // What the owner lends: its lock and the size of its frames.
  class Delegate {
   public:
    virtual ~Delegate() = default;
    virtual RWTryLock& renderLock() = 0;
    virtual QSizeF renderSize() const = 0;
  };

  static std::shared_ptr<QCAttributePublisher> create();
  ~QCAttributePublisher() override;

  // Main thread.
  void setDelegate(Delegate* delegate) { delegate_ = delegate; }
  void setDataSourceController(DataSourceController* controller) { controller_ = controller; }
  // Moves the group and renames the taps; an empty name is ignored.
  void setPublisherCatName(const QString& name);
  const QString& publisherCatName() const { return catName_; }
  void publishAttributesForComposition(std::shared_ptr<const QKQCComposition> composition);
  void removeAllPublishedSources();
  void prepareToBeDeleted();
  std::vector<std::shared_ptr<QKQCSTap>> tapArray() const;

  // Render thread, after each frame.
  void publishValsForRenderer(const std::shared_ptr<composition::QCRenderer>& renderer);

  // Tick thread: the pulls of the number sources and holders.
  void setDataSourceWithVal(DataSource* source);
  float rValForColorHolder(DSColorHolder* holder) override;
  float gValForColorHolder(DSColorHolder* holder) override;
  float bValForColorHolder(DSColorHolder* holder) override;
  float xValForPointHolder(DSPointHolder* holder) override;
  float yValForPointHolder(DSPointHolder* holder) override;
  // Tick thread: pushes changed booleans to their sources.
  void DSCProc() override;
  void wasThisDataSourceDeletedOutFromUnderMe(const KeyPath&) override {}

 private:
  QCAttributePublisher() = default;
  std::shared_ptr<DataSource> makeSource(const QString& key, const QString& portClass);
  void pushRendererImagesToTaps(composition::QCRenderer& renderer);
  void pushRendererValsToStorage(composition::QCRenderer& renderer);
  // Under the read lock: the stored value of the source's key.
  QVariant storedValue(const DataSource* source) const;
  float colorComponent(DSColorHolder* holder, int component) const;
  float pointComponent(DSPointHolder* holder, int component) const;

  QString catName_;
  std::shared_ptr<const QKQCComposition> composition_;
  DataSourceController* controller_ = nullptr;
  Delegate* delegate_ = nullptr;
  std::atomic<bool> deleted_{false};
  bool synchRegistered_ = false;
  // Under the owner's lock (written by the main thread and the render
  // thread under the write lock, read by the tick under the read lock).
  // Output key → its source and the value last stored for it (invalid
  // until a frame stores one); the render thread stores in place.
  struct Published {
    std::shared_ptr<DataSource> source;
    QVariant stored;
  };
  QHash<QString, Published> dataSourcesDict_;
  std::vector<std::shared_ptr<QKQCSTap>> taps_;
  // Tick thread only: the last boolean pushed per key.
  QHash<QString, float> lastBooleans_;
};

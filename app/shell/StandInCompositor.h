#pragma once

#include "framework/media/CompositorInterface.h"
#include "framework/media/UniqueIDCounter.h"

#include <mutex>

// What media files ask of the compositor until it is built: the one
// counter of unique IDs, the render lock and the way to the file loader.
class StandInCompositor : public CompositorInterface {
 public:
  long getUniqueID() override { return ids_.next(); }
  void uniqueIDRecovered(long uniqueID) override { ids_.recovered(uniqueID); }
  void lockForRender() override { renderMutex_.lock(); }
  void unlockRender() override { renderMutex_.unlock(); }
  QKFileLoaderInterface* fileLoader() override { return loader_; }
  void setFileLoader(QKFileLoaderInterface* loader) { loader_ = loader; }

 private:
  QKFileLoaderInterface* loader_ = nullptr;
  UniqueIDCounter ids_;
  std::mutex renderMutex_;
};

#pragma once

#include "app/mediabin/MBLayerQueueHost.h"
#include "platform/foundation/NotificationObservers.h"

#include <QHash>

#include <mutex>

class Compositor;
class QKPageController;

// The layer queue's view of ZAPH: files from the page controller, layers
// from the compositor. What other threads ask of the layers is answered
// from a table of the layers' states that the main thread rebuilds when
// layers, taps or sources change (and after every load it asks for), so
// a MIDI, clock or render thread never walks the layer tree.
class MBCompositorQueueHost : public MBLayerQueueHost {
 public:
  MBCompositorQueueHost(Compositor* compositor, QKPageController* pages);
  ~MBCompositorQueueHost() override;

  std::shared_ptr<QKFile> fileForUniqueId(long id) const override;
  bool withFile(long id, const std::function<void(const QKFile&)>& use) const override;
  QString pageNameOfFile(const QKFile& file) const override;
  bool fileIsPlaying(const QKFile& file, QString* layerName) const override;
  bool layerExists(const QString& name) const override;
  bool layerShowsFile(const QString& name) const override;
  QStringList playingMovieLayerNames() const override;
  QString layerNameOfSource(const void* source) const override;

  QStringList queueableLayerNames() const override;
  bool triggerFileOnLayer(const QString& layerName, const std::shared_ptr<QKFile>& file) override;
  void ejectFile(const std::shared_ptr<QKFile>& file) override;
  void displayLayer(const QString& name) override;

  // Main thread: reads the layers' states again.
  void rebuildLayerTable();

 private:
  struct LayerState {
    bool group = false;
    bool showsFile = false;
    bool playsMovie = false;
    const void* fileSource = nullptr;   // the current source as its files see it
    const void* movieSource = nullptr;  // the movie source, as posted with its end
  };

  Compositor* const compositor_;
  QKPageController* const pages_;
  mutable std::mutex mutex_;  // guards the two below
  QHash<QString, LayerState> layers_;
  QStringList moviesDepthFirst_;
  NotificationObservers observers_;
};

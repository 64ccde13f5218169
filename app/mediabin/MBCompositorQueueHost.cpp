#include "app/mediabin/MBCompositorQueueHost.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerWindowController.h"
#include "app/mediabin/MBLayerController.h"
#include "app/sources/VidSourceObject.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileSource.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/MainThread.h"

#include <functional>

MBCompositorQueueHost::MBCompositorQueueHost(Compositor* compositor, QKPageController* pages)
    : compositor_(compositor), pages_(pages) {
  auto rebuild = [this](const Notification&) {
    MainThread::coalesce(this, [this] { rebuildLayerTable(); });
  };
  for (const QString& name :
       {Layer::kCreateNotification, Layer::kDeleteNotification, Layer::kNameChangeNotification,
        Layer::kSourceChangeNotification, QKTapManager::kReloadSTapListNotification,
        MBLayerController::kLayerTriggerFileNotification})
    observers_.observe(name, nullptr, rebuild);
  if (MainThread::isMainThread()) rebuildLayerTable();
}

MBCompositorQueueHost::~MBCompositorQueueHost() {
  observers_.clear();
  MainThread::coalesce(this, [] {});  // what was pending runs as nothing
}

void MBCompositorQueueHost::rebuildLayerTable() {
  QHash<QString, LayerState> table;
  QStringList movies;
  std::function<void(const std::vector<std::shared_ptr<Layer>>&)> walk =
      [&](const std::vector<std::shared_ptr<Layer>>& layers) {
        for (const auto& layer : layers) {
          LayerState state;
          state.group = layer->groupFlag();
          VidSourceObject* source = layer->currentSource();
          state.showsFile = source && source->currentFile() != nullptr;
          state.fileSource = static_cast<const QKFileSource*>(source);
          VidSourceObject* movie = layer->sourceOfKind(VidSourceObject::kMovieSource);
          state.movieSource = movie;
          state.playsMovie = !state.group && source && source == movie && !source->stopped();
          table.insert(layer->layerName(), state);
          if (state.group)
            walk(layer->layerArray());
          else if (state.playsMovie)
            movies << layer->layerName();
        }
      };
  if (compositor_) walk(compositor_->topLevelLayers());
  std::lock_guard<std::mutex> lock(mutex_);
  layers_ = std::move(table);
  moviesDepthFirst_ = std::move(movies);
}

std::shared_ptr<QKFile> MBCompositorQueueHost::fileForUniqueId(long id) const {
  return pages_ ? pages_->fileForUniqueId(id) : nullptr;
}

// The page lock keeps the page, and with it the file, for the whole call.
bool MBCompositorQueueHost::withFile(long id, const std::function<void(const QKFile&)>& use) const {
  if (!pages_) return false;
  RWTryLock::ReadGuard guard(pages_->pagesLock());
  const std::shared_ptr<QKFile> file = pages_->lockedFileForUniqueId(id);
  if (!file) return false;
  use(*file);
  return true;
}

QString MBCompositorQueueHost::pageNameOfFile(const QKFile& file) const {
  if (!pages_) return {};
  RWTryLock::ReadGuard guard(pages_->pagesLock());
  const auto* page = dynamic_cast<const QKPage*>(file.parent());
  return page ? page->name() : QString();
}

bool MBCompositorQueueHost::fileIsPlaying(const QKFile& file, QString* layerName) const {
  const std::shared_ptr<QKFileSource> source = file.currentSource();
  if (!source) return false;
  layerName->clear();
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = layers_.cbegin(); it != layers_.cend(); ++it)
    if (it->fileSource == source.get()) *layerName = it.key();
  return true;
}

bool MBCompositorQueueHost::layerExists(const QString& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return layers_.contains(name);
}

bool MBCompositorQueueHost::layerShowsFile(const QString& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = layers_.constFind(name);
  return it == layers_.cend() || it->showsFile;
}

QStringList MBCompositorQueueHost::playingMovieLayerNames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return moviesDepthFirst_;
}

QString MBCompositorQueueHost::layerNameOfSource(const void* source) const {
  if (!source) return {};
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = layers_.cbegin(); it != layers_.cend(); ++it)
    if (it->movieSource == source || it->fileSource == source) return it.key();
  return {};
}

QStringList MBCompositorQueueHost::queueableLayerNames() const {
  QStringList names;
  if (!compositor_ || !compositor_->tapManager()) return names;
  const QStringList taps = compositor_->tapManager()->sTapKeyArraySortedByIndex();
  for (auto it = taps.crbegin(); it != taps.crend(); ++it) {
    if (!compositor_->tapManager()->layerForSTapNamed(*it)) continue;
    Layer* layer = compositor_->findLayerByName(*it);
    if (layer && !layer->groupFlag() && !names.contains(*it)) names << *it;
  }
  return names;
}

bool MBCompositorQueueHost::triggerFileOnLayer(const QString& layerName,
                                               const std::shared_ptr<QKFile>& file) {
  Layer* layer = compositor_ ? compositor_->findLayerByName(layerName) : nullptr;
  if (!layer) return false;
  layer->unlockedTriggerFile(file);
  rebuildLayerTable();
  return true;
}

void MBCompositorQueueHost::ejectFile(const std::shared_ptr<QKFile>& file) {
  QString name;
  if (!file || !fileIsPlaying(*file, &name)) return;
  Layer* layer = compositor_ && !name.isEmpty() ? compositor_->findLayerByName(name) : nullptr;
  if (!layer) return;
  if (VidSourceObject* source = layer->currentSource()) source->ejectButtonUsed();
  NotificationCenter::defaultCenter().post(
      MBLayerController::kLayerTriggerFileNotification, layer,
      {{QStringLiteral("oldFile"), QVariant::fromValue(file)}});
  rebuildLayerTable();
}

void MBCompositorQueueHost::displayLayer(const QString& name) {
  Layer* layer = compositor_ ? compositor_->findLayerByName(name) : nullptr;
  if (layer && layer->parentWindow()) layer->parentWindow()->showWindow();
}

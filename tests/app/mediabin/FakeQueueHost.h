#pragma once

#include "app/mediabin/MBLayerQueueHost.h"
#include "framework/media/QKFile.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/media/MediaTestSupport.h"

#include <QHash>

#include <mutex>
#include <vector>

// The layers and pages as the layer queue sees them: files by ID with the
// page that holds them, layers by name (stack order, bottom last) with
// what they show, and a record of every load and eject.
class FakeQueueHost : public MBLayerQueueHost {
 public:
  struct Load {
    QString layer;
    long fileId;
    bool onMain;
  };
  struct LayerInfo {
    QString name;
    bool group = false;
    bool showsFile = false;
    bool playsMovie = false;
  };

  // Layers named from the top of the stack down.
  explicit FakeQueueHost(QStringList names = {}) {
    for (const QString& name : names) layers.push_back({name});
  }

  long addFile(const QString& name, const QString& page = QStringLiteral("Page 1")) {
    auto file = QKFile::createWithName(name, &ids);
    std::lock_guard<std::mutex> lock(mutex);
    files.insert(file->uniqueFileId(), file);
    pages.insert(file->uniqueFileId(), page);
    return file->uniqueFileId();
  }
  void setPlaying(long fileId, const QString& layer) {
    std::lock_guard<std::mutex> lock(mutex);
    playing.insert(fileId, layer);
  }
  std::vector<Load> loadsSoFar() const {
    std::lock_guard<std::mutex> lock(mutex);
    return loads;
  }

  std::shared_ptr<QKFile> fileForUniqueId(long id) const override {
    std::lock_guard<std::mutex> lock(mutex);
    return files.value(id);
  }
  bool withFile(long id, const std::function<void(const QKFile&)>& use) const override {
    const std::shared_ptr<QKFile> file = fileForUniqueId(id);  // the map keeps it
    if (!file) return false;
    use(*file);
    return true;
  }
  QString pageNameOfFile(const QKFile& file) const override {
    std::lock_guard<std::mutex> lock(mutex);
    return pages.value(file.uniqueFileId());
  }
  bool fileIsPlaying(const QKFile& file, QString* layerName) const override {
    std::lock_guard<std::mutex> lock(mutex);
    if (!playing.contains(file.uniqueFileId())) return false;
    *layerName = playing.value(file.uniqueFileId());
    return true;
  }
  bool layerExists(const QString& name) const override {
    std::lock_guard<std::mutex> lock(mutex);
    return find(name) != nullptr;
  }
  bool layerShowsFile(const QString& name) const override {
    std::lock_guard<std::mutex> lock(mutex);
    const LayerInfo* layer = find(name);
    return !layer || layer->showsFile;
  }
  QStringList playingMovieLayerNames() const override {
    std::lock_guard<std::mutex> lock(mutex);
    QStringList names;
    for (const LayerInfo& layer : layers)
      if (layer.playsMovie && !layer.group) names << layer.name;
    return names;
  }
  QString layerNameOfSource(const void* source) const override {
    std::lock_guard<std::mutex> lock(mutex);
    return sources.value(source);
  }
  QStringList queueableLayerNames() const override {
    std::lock_guard<std::mutex> lock(mutex);
    QStringList names;
    for (auto it = layers.crbegin(); it != layers.crend(); ++it)
      if (!it->group) names << it->name;
    return names;
  }
  bool triggerFileOnLayer(const QString& layerName, const std::shared_ptr<QKFile>& file) override {
    std::lock_guard<std::mutex> lock(mutex);
    if (!find(layerName)) return false;
    loads.push_back({layerName, file->uniqueFileId(), MainThread::isMainThread()});
    return true;
  }
  void ejectFile(const std::shared_ptr<QKFile>& file) override {
    std::lock_guard<std::mutex> lock(mutex);
    ejected.push_back(file->uniqueFileId());
  }
  void displayLayer(const QString& name) override { displayed << name; }

  const LayerInfo* find(const QString& name) const {
    for (const LayerInfo& layer : layers)
      if (layer.name == name) return &layer;
    return nullptr;
  }

  mutable std::mutex mutex;
  FakeCompositor ids;
  std::vector<LayerInfo> layers;
  QHash<long, std::shared_ptr<QKFile>> files;
  QHash<long, QString> pages;
  QHash<long, QString> playing;
  QHash<const void*, QString> sources;
  std::vector<Load> loads;
  std::vector<long> ejected;
  QStringList displayed;
};

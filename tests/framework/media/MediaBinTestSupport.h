#pragma once

#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "framework/media/QKFileParent.h"
#include "framework/media/QKMediaBinHost.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "tests/framework/media/MediaTestSupport.h"

#include <QVariantList>

#include <memory>
#include <vector>

// What a page, a folder or the page controller asked of the loader.
class RecordingLoader : public QKFileLoaderInterface {
 public:
  struct Call {
    enum Kind { Paths, Snapshots, Copies } kind;
    QStringList paths;
    QVariantList snapshots;
    long parentId;  // -1: none
    int index;
    bool isGridIndex;
  };
  void addTheseFilesToQueue(const QStringList& paths, QKFileParent* parent, int index,
                            bool isGridIndex) override {
    calls.push_back({Call::Paths, paths, {}, idOf(parent), index, isGridIndex});
  }
  void addTheseSnapshotsToQueue(const QVariantList& snapshots, QKFileParent* parent, int index,
                                bool isGridIndex) override {
    calls.push_back({Call::Snapshots, {}, snapshots, idOf(parent), index, isGridIndex});
  }
  void copyTheseFilesFromSnapshots(const QVariantList& snapshots, QKFileParent* parent, int index,
                                   bool isGridIndex) override {
    calls.push_back({Call::Copies, {}, snapshots, idOf(parent), index, isGridIndex});
  }
  void createThumbnailForURLFile(const std::shared_ptr<QKURLFile>& file) override {
    thumbnails.push_back(file);
  }
  void setAutoRecordOverride(bool value) override { autoRecordOverride = value; }

  static long idOf(QKFileParent* parent) { return parent ? parent->uniqueFileId() : -1; }

  std::vector<Call> calls;
  std::vector<std::shared_ptr<QKURLFile>> thumbnails;
  bool autoRecordOverride = false;
};

// The application controller with a compositor, a page controller and a
// loader (a recording one unless a test hands its own).
class FakeMediaBinHost : public QKMediaBinHost {
 public:
  CompositorInterface* compositor() override { return &fakeCompositor; }
  QKPageController* pageController() override { return pages.get(); }
  QKFileLoaderInterface* fileLoader() override {
    return loader ? loader : static_cast<QKFileLoaderInterface*>(&recordingLoader);
  }
  QKFolder* rootFolder() override { return root; }
  QStringList inputTapTitles() override { return inputs; }
  void startRecordingFromRightClick() override { ++recordingsStarted; }
  void openWindowForMissingFiles() override { ++manualRelinkWindows; }
  void openWindowForMissingFilesAndStartSearch() override { ++searchRelinkWindows; }
  void removeRelinkedMissingFiles(const std::vector<std::shared_ptr<QKFile>>& files,
                                  const QVariantList& snapshots) override {
    relinkedFiles.insert(relinkedFiles.end(), files.begin(), files.end());
    relinkedSnapshots += snapshots;
  }
  QStringList mediaBinTitles() override { return bins; }
  std::optional<QString> mediaBinTitle(const void* plugin) override {
    for (const auto& [object, title] : binObjects)
      if (object == plugin) return title;
    return std::nullopt;
  }
  std::optional<long> currentPageIdOfMediaBin(const QString& title) override {
    if (!bins.contains(title)) return std::nullopt;
    return binPageId;
  }
  bool willFullscreenHideAModal() override { return fullscreenHidesModal; }
  void setFullscreen(bool fullscreen) override { fullscreenSet.push_back(fullscreen); }

  void makePageController() {
    fakeCompositor.loader = fileLoader();
    pages = std::make_unique<QKPageController>(this);
  }

  FakeCompositor fakeCompositor;
  RecordingLoader recordingLoader;
  QKFileLoaderInterface* loader = nullptr;
  std::unique_ptr<QKPageController> pages;
  QKFolder* root = nullptr;
  QStringList inputs;
  QStringList bins;
  std::vector<std::pair<const void*, QString>> binObjects;
  long binPageId = -1;
  bool fullscreenHidesModal = false;
  std::vector<bool> fullscreenSet;
  int recordingsStarted = 0;
  int manualRelinkWindows = 0;
  int searchRelinkWindows = 0;
  std::vector<std::shared_ptr<QKFile>> relinkedFiles;
  QVariantList relinkedSnapshots;
};

// Pages written as text: one character per cell, a file by its one-letter
// name, "_" for a blank.
inline std::vector<std::shared_ptr<QKFile>> filesNamed(const QString& letters,
                                                       CompositorInterface* compositor) {
  std::vector<std::shared_ptr<QKFile>> files;
  for (QChar c : letters)
    files.push_back(c == QLatin1Char('_') ? nullptr
                                          : QKFile::createWithName(QString(c), compositor));
  return files;
}

inline void fillPage(QKPage& page, const QString& cells) {
  QKPage::Cells contents = filesNamed(cells, page.compositor());
  for (int i = 0; i < int(contents.size()); ++i)
    if (contents[size_t(i)]) page.addObjects({contents[size_t(i)]}, i);
}

inline QString cellsOf(const QKPage::Cells& cells) {
  QString text;
  for (const auto& cell : cells) text += cell ? cell->name() : QStringLiteral("_");
  return text;
}

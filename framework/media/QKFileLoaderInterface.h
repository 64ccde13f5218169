#pragma once

#include <QStringList>
#include <QVariantList>

#include <memory>

class QKFileParent;
class QKURLFile;
class QWidget;

// The file loader as media files, pages, folders and the page controller
// reach it. Every call only queues: files arrive on later passes of the main
// event loop, thumbnails in the generator's own time. A null destination
// means the first page. Main thread only. The queue's feeding does nothing
// by default, for stand-ins that serve only media files.
class QKFileLoaderInterface {
 public:
  virtual ~QKFileLoaderInterface() = default;
  // A web file's thumbnail; null does nothing.
  virtual void createThumbnailForURLFile(const std::shared_ptr<QKURLFile>& file) = 0;

  // The paths end up in the given order from `index` on (-1: the end).
  virtual void addTheseFilesToQueue(const QStringList& /*paths*/, QKFileParent* /*parent*/,
                                    int /*index*/, bool /*isGridIndex*/) {}
  // File snapshots restored with their stored IDs.
  virtual void addTheseSnapshotsToQueue(const QVariantList& /*snapshots*/, QKFileParent* /*parent*/,
                                        int /*index*/, bool /*isGridIndex*/) {}
  // File snapshots restored as copies with fresh IDs.
  virtual void copyTheseFilesFromSnapshots(const QVariantList& /*snapshots*/,
                                           QKFileParent* /*parent*/, int /*index*/,
                                           bool /*isGridIndex*/) {}
  // Asks for files in an open panel over `window` and queues them into the
  // page from `index` on.
  virtual void loadWithOpenPanelToFolder(QKFileParent* /*page*/, int /*index*/,
                                         bool /*isGridIndex*/, QWidget* /*window*/ = nullptr) {}
  // Set when the page controller starts a recording into a page.
  virtual void setAutoRecordOverride(bool /*override*/) {}
};

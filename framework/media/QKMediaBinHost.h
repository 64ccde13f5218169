#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <optional>
#include <vector>

class CompositorInterface;
class QKFile;
class QKFileLoaderInterface;
class QKFolder;
class QKPageController;
class QWidget;

// The application controller as the media bin's model sees it: the objects
// it owns and the few services of other subsystems the pages, the page
// controller and the file loader call. Services not built yet answer their
// defaults. Main thread only.
class QKMediaBinHost {
 public:
  virtual ~QKMediaBinHost() = default;

  virtual CompositorInterface* compositor() = 0;
  virtual QKPageController* pageController() = 0;
  virtual QKFileLoaderInterface* fileLoader() = 0;
  // The legacy root folder.
  virtual QKFolder* rootFolder() { return nullptr; }

  // The preset manager: its window, its lists of missing files and their
  // snapshots, and the relink window.
  virtual QWidget* presetManagerWindow() { return nullptr; }
  virtual void removeRelinkedMissingFiles(const std::vector<std::shared_ptr<QKFile>>& /*files*/,
                                          const QVariantList& /*snapshots*/) {}
  virtual void openWindowForMissingFiles() {}
  virtual void openWindowForMissingFilesAndStartSearch() {}

  // The plug-in manager's media bins: their window titles in plug-in order,
  // the title of a plug-in when it is a media bin, and the page a media bin
  // shows.
  virtual QStringList mediaBinTitles() { return {}; }
  virtual std::optional<QString> mediaBinTitle(const void* /*plugin*/) { return std::nullopt; }
  virtual std::optional<long> currentPageIdOfMediaBin(const QString& /*title*/) {
    return std::nullopt;
  }

  // The titles of the tap manager's live-input menu, in menu order.
  virtual QStringList inputTapTitles() { return {}; }
  // The capture controller starts recording the inputs given to pages.
  virtual void startRecordingFromRightClick() {}
  // The capture controller stops recording (a bin's recording indicator).
  virtual void stopRecordingFromExternalSource() {}

  // The output view: whether going fullscreen hides a modal window.
  virtual bool willFullscreenHideAModal() { return false; }
  virtual void setFullscreen(bool /*fullscreen*/) {}
  virtual bool internetAvailable() { return false; }
};

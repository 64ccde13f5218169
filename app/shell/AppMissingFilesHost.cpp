#include "app/shell/AppMissingFilesHost.h"

#include "app/shell/AppController.h"
#include "app/shell/PresetManager.h"
#include "framework/media/QKFileLoader.h"

std::vector<std::shared_ptr<QKFile>>& AppMissingFilesHost::missingFileArray() {
  if (PresetManager* presets = app_.presetManager()) return presets->missingFileArray();
  noFiles_.clear();
  return noFiles_;
}

QVariantList& AppMissingFilesHost::missingFileSnapArray() {
  if (PresetManager* presets = app_.presetManager()) return presets->missingFileSnapArray();
  noSnaps_.clear();
  return noSnaps_;
}

QKPageController* AppMissingFilesHost::pageController() { return app_.pageController(); }

QKFolder* AppMissingFilesHost::rootFolder() { return app_.rootFolder(); }

void AppMissingFilesHost::relinkTheseSnapshots(const QVariantList& snapshots,
                                               const QStringList& paths) {
  if (QKFileLoader* loader = app_.fileLoaderObject())
    loader->relinkTheseSnapshots(snapshots, paths);
}

void AppMissingFilesHost::loadWithOpenPanelToFolder(QKFileParent* parent, int index,
                                                    bool isGridIndex, QWidget* window) {
  if (QKFileLoader* loader = app_.fileLoaderObject())
    loader->loadWithOpenPanelToFolder(parent, index, isGridIndex, window);
}

#pragma once

#include "app/shell/PMMissingFilesHost.h"

class AppController;

// The missing-files window's view of ZAPH: the preset manager's lists, the
// pages, the root folder and the file loader of the application controller.
class AppMissingFilesHost : public PMMissingFilesHost {
 public:
  explicit AppMissingFilesHost(AppController& app) : app_(app) {}

  std::vector<std::shared_ptr<QKFile>>& missingFileArray() override;
  QVariantList& missingFileSnapArray() override;
  QKPageController* pageController() override;
  QKFolder* rootFolder() override;
  void relinkTheseSnapshots(const QVariantList& snapshots, const QStringList& paths) override;
  void loadWithOpenPanelToFolder(QKFileParent* parent, int index, bool isGridIndex,
                                 QWidget* window) override;

 private:
  AppController& app_;
  // Answered before the preset manager exists.
  std::vector<std::shared_ptr<QKFile>> noFiles_;
  QVariantList noSnaps_;
};

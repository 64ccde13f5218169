#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <vector>

class QKFile;
class QKFileParent;
class QKFolder;
class QKPageController;
class QWidget;

// What the missing-files window needs of the rest of the program: the preset
// manager's two parallel lists of missing files and their stored snapshots,
// the pages and the legacy folder tree it shows, and the file loader that
// relinks and imports. ZAPH's application controller answers it; tests answer
// with fakes. Main thread only.
class PMMissingFilesHost {
 public:
  virtual ~PMMissingFilesHost() = default;

  virtual std::vector<std::shared_ptr<QKFile>>& missingFileArray() = 0;
  virtual QVariantList& missingFileSnapArray() = 0;
  virtual QKPageController* pageController() = 0;
  virtual QKFolder* rootFolder() = 0;

  // The loader reloads each snapshot's file (found by its ID) from the path
  // at the same position; a file it could load leaves both lists when the
  // load ends.
  virtual void relinkTheseSnapshots(const QVariantList& snapshots, const QStringList& paths) = 0;
  // An open panel as a sheet on `window`; the chosen files go into `parent`
  // (null: the first page) from `index` on.
  virtual void loadWithOpenPanelToFolder(QKFileParent* parent, int index, bool isGridIndex,
                                         QWidget* window) = 0;
};

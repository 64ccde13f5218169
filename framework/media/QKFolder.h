#pragma once

#include "framework/media/QKFileParent.h"

#include <QString>
#include <QVariantMap>

#include <memory>
#include <set>
#include <vector>

class CompositorInterface;
class QKFile;
class QKFileLoaderInterface;

// The media bin's folder tree of older projects: each folder shows its files
// and sub-folders in a grid of cells. The application keeps one root folder;
// a project that holds a folder snapshot has it turned into pages.
//
// Grid: one entry per cell in reading order, -1 for an empty cell, else an
// index into the contents; the occupied cells read in order hold 0, 1, 2, …
// Main thread only.
class QKFolder : public QKFileParent, public std::enable_shared_from_this<QKFolder> {
 public:
  // A content: a file or a sub-folder (exactly one is set).
  struct Item {
    std::shared_ptr<QKFile> file;
    std::shared_ptr<QKFolder> folder;
    bool operator==(const Item& other) const {
      return file == other.file && folder == other.folder;
    }
  };
  using Items = std::vector<Item>;

  static const QString kPlaceholderName;  // "initQKFolderName"
  static const QString kPlaceholderPath;  // "initQKFolderFullPath"
  static const QString kRootName;         // "Main"
  static constexpr int kDefaultCellsAcross = 8;

  static std::shared_ptr<QKFolder> createWithParent(QKFolder* parent, const QString& name,
                                                    CompositorInterface* compositor,
                                                    QKFileLoaderInterface* loader);
  // A folder read from a directory: every entry is handed to the loader,
  // which adds the loadable ones later.
  static std::shared_ptr<QKFolder> createWithPath(const QString& path,
                                                  CompositorInterface* compositor,
                                                  QKFileLoaderInterface* loader,
                                                  int cellsAcross = kDefaultCellsAcross);
  QKFolder(CompositorInterface* compositor, QKFileLoaderInterface* loader,
           const QString& name = kPlaceholderName, QKFolder* parent = nullptr);
  ~QKFolder() override;
  QKFolder(const QKFolder&) = delete;
  QKFolder& operator=(const QKFolder&) = delete;

  QString description() const;

  QVariantMap returnSnapshot() const;
  // Takes the name, ID and grid size and queues every file at its cell (as
  // copies with fresh IDs when the snapshot has no ID). False for an empty
  // root.
  bool loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor);

  // Inserts at a content index; the new contents take the first empty cells.
  void addObject(const Item& item, int index) { addObjects({item}, index); }
  void addObjects(const Items& items, int index);
  // Inserts at a grid cell; the new contents take the first empty cells from
  // there on.
  void addObjectsAtGridIndex(const Items& items, int gridIndex);
  // Removes contents and announces their deletion.
  void removeObjectsAtIndexes(const std::set<int>& indexes);
  // Removes contents that move elsewhere (nothing is announced).
  void theseObjectsWereMoved(const std::set<int>& indexes);
  void clearContents();

  // Moves items (their content indexes in their folders) into this folder;
  // nothing happens when an item is a folder holding this one.
  void moveItems(const Items& items, const std::vector<int>& indexes,
                 const std::vector<QKFolder*>& parents, int toIndex);
  void moveItemsToGridIndex(const Items& items, const std::vector<int>& indexes,
                            const std::vector<QKFolder*>& parents, int gridIndex);
  int getDropIndexAndRemoveItems(const Items& items, const std::vector<int>& indexes,
                                 const std::vector<QKFolder*>& parents, int dropIndex);

  bool containsThisFolder(const QKFolder* folder) const;
  // This folder when its own ID matches (as its `folder`), else the first
  // file or sub-folder found depth first.
  Item findFileByUniqueFileId(long uniqueId);
  QKFolder* findFolderByUniqueFileId(long uniqueId);
  QKFolder* findFolderWithName(const QString& name);
  int lastFilledGridIndex() const;
  int gridIndexOfObject(const Item& item) const;
  Items missingFilesArray() const;
  Items availableFilesArray() const;

  void setName(const QString& name);
  void setCellsAcross(int cellsAcross);
  void resetGridLayout();

  long uniqueFileId() const override { return uniqueFileId_; }
  QString name() const { return name_; }
  const Items& contents() const { return contents_; }
  QKFolder* parent() const { return parent_; }
  void setParent(QKFolder* parent) { parent_ = parent; }
  QString fullPath() const { return fullPath_; }
  void setFullPath(const QString& path) { fullPath_ = path; }
  int cellsAcross() const { return cellsAcross_; }
  int cellsDown() const { return cellsDown_; }
  const std::vector<int>& gridLayout() const { return gridLayout_; }
  CompositorInterface* compositor() const { return compositor_; }
  void setCompositor(CompositorInterface* compositor) { compositor_ = compositor; }
  void setFileLoader(QKFileLoaderInterface* loader) { loader_ = loader; }

 private:
  void applyRootRule();
  void adopt(const Items& items);
  void appendRows(int remaining, int& last);
  Items removeFromGrid(const std::set<int>& indexes);
  void postAddedWhenFolder(const Items& items);
  Items filesWhere(bool valid) const;

  long uniqueFileId_ = 0;
  QString name_;
  Items contents_;
  QKFolder* parent_ = nullptr;
  QString fullPath_ = kPlaceholderPath;
  int cellsAcross_ = kDefaultCellsAcross;
  int cellsDown_ = 0;
  std::vector<int> gridLayout_;
  CompositorInterface* compositor_ = nullptr;
  QKFileLoaderInterface* loader_ = nullptr;
};

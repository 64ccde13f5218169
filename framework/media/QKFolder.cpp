#include "framework/media/QKFolder.h"

#include "framework/media/CompositorInterface.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

const QString QKFolder::kPlaceholderName = QStringLiteral("initQKFolderName");
const QString QKFolder::kPlaceholderPath = QStringLiteral("initQKFolderFullPath");
const QString QKFolder::kRootName = QStringLiteral("Main");

namespace {
const QString kContentArrayKey = QStringLiteral("contentArray");
const QString kGridLayoutArrayKey = QStringLiteral("gridLayoutArray");
const QString kNameKey = QStringLiteral("name");
const QString kUniqueIdKey = QStringLiteral("uniqueFileId");
const QString kFullPathKey = QStringLiteral("fullPath");
const QString kCellsAcrossKey = QStringLiteral("cellsAcross");
const QString kCellsDownKey = QStringLiteral("cellsDown");
}  // namespace

std::shared_ptr<QKFolder> QKFolder::createWithParent(QKFolder* parent, const QString& name,
                                                     CompositorInterface* compositor,
                                                     QKFileLoaderInterface* loader) {
  return std::make_shared<QKFolder>(compositor, loader, name, parent);
}

std::shared_ptr<QKFolder> QKFolder::createWithPath(const QString& path,
                                                   CompositorInterface* compositor,
                                                   QKFileLoaderInterface* loader, int cellsAcross) {
  auto folder = std::make_shared<QKFolder>(compositor, loader, QFileInfo(path).fileName());
  folder->fullPath_ = path;
  folder->cellsAcross_ = std::max(cellsAcross, 1);
  QStringList paths;
  const QDir dir(path);
  for (const QString& entry :
       dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
    paths.append(QStringLiteral("%1/%2").arg(path, entry));
  if (loader && !paths.isEmpty()) loader->addTheseFilesToQueue(paths, folder.get(), 0, true);
  return folder;
}

QKFolder::QKFolder(CompositorInterface* compositor, QKFileLoaderInterface* loader,
                   const QString& name, QKFolder* parent)
    : name_(name.isNull() ? kPlaceholderName : name),
      parent_(parent),
      compositor_(compositor),
      loader_(loader) {
  if (compositor_) uniqueFileId_ = compositor_->getUniqueID();
  applyRootRule();
}

QKFolder::~QKFolder() = default;

QString QKFolder::description() const {
  return name_.isNull() ? QStringLiteral("Folder (nil name)")
                        : QStringLiteral("Folder (%1)").arg(name_);
}

void QKFolder::applyRootRule() {
  if (name_ == kPlaceholderName && uniqueFileId_ == 0) name_ = kRootName;
}

QVariantMap QKFolder::returnSnapshot() const {
  QVariantList contents;
  for (const Item& item : contents_)
    contents.append(item.file ? item.file->returnSnapshot() : item.folder->returnSnapshot());
  QVariantList grid;
  for (int cell : gridLayout_) grid.append(cell);
  return {{kContentArrayKey, contents},
          {kGridLayoutArrayKey, grid},
          {kNameKey, name_},
          {kUniqueIdKey, qint64(uniqueFileId_)},
          {kFullPathKey, fullPath_},
          {kCellsAcrossKey, qint64(cellsAcross_)},
          {kCellsDownKey, qint64(cellsDown_)}};
}

bool QKFolder::loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) {
  compositor_ = compositor;
  bool hasId = false;
  const qlonglong stored = snapshot.value(kUniqueIdKey).toLongLong(&hasId);
  if (hasId) {
    uniqueFileId_ = long(stored);
    if (compositor_) compositor_->uniqueIDRecovered(uniqueFileId_);
  } else if (compositor_) {
    uniqueFileId_ = compositor_->getUniqueID();
  }
  const bool isCopy = !hasId;
  if (snapshot.contains(kNameKey)) name_ = snapshot.value(kNameKey).toString();
  if (snapshot.contains(kFullPathKey)) fullPath_ = snapshot.value(kFullPathKey).toString();
  if (snapshot.contains(kCellsAcrossKey))
    cellsAcross_ = std::max(snapshot.value(kCellsAcrossKey).toInt(), 1);
  if (snapshot.contains(kCellsDownKey)) cellsDown_ = snapshot.value(kCellsDownKey).toInt();
  applyRootRule();
  const QVariantList files = snapshot.value(kContentArrayKey).toList();
  const QVariantList grid = snapshot.value(kGridLayoutArrayKey).toList();
  for (int i = 0; i < grid.size(); ++i) {
    bool ok = false;
    const int v = grid[i].toInt(&ok);
    if (ok && v >= 0 && v < files.size() && loader_) {
      if (isCopy)
        loader_->copyTheseFilesFromSnapshots({files[v]}, this, i, true);
      else
        loader_->addTheseSnapshotsToQueue({files[v]}, this, i, true);
    }
    gridLayout_.push_back(-1);
  }
  if (!files.isEmpty() || parent_) return true;
  Log::line(QStringLiteral("\t\terr: root folder was empty"));
  return false;
}

void QKFolder::adopt(const Items& items) {
  for (const Item& item : items) {
    if (item.file) item.file->setParent(this);
    if (item.folder) item.folder->setParent(this);
  }
}

void QKFolder::postAddedWhenFolder(const Items& items) {
  if (std::any_of(items.begin(), items.end(), [](const Item& item) { return item.folder; }))
    NotificationCenter::defaultCenter().post(MediaNotifications::kFolderAdded, this);
}

// Full rows of cells for what is left to place, each taking the next content
// index while any remain.
void QKFolder::appendRows(int remaining, int& last) {
  while (remaining > 0) {
    for (int c = 0; c < cellsAcross_; ++c) {
      if (remaining > 0) {
        gridLayout_.push_back(++last);
        --remaining;
      } else {
        gridLayout_.push_back(-1);
      }
    }
    ++cellsDown_;
  }
}

void QKFolder::addObjects(const Items& items, int index) {
  if (items.empty()) return;
  const size_t at = size_t(std::clamp(index, 0, int(contents_.size())));
  int remaining = int(items.size());
  int last = -1;
  int placed = 0;
  for (int& cell : gridLayout_) {
    if (cell >= 0) {
      last = cell + placed;
      cell = last;
    } else if (remaining > 0) {
      cell = ++last;
      --remaining;
      ++placed;
    }
  }
  appendRows(remaining, last);
  contents_.insert(contents_.begin() + std::ptrdiff_t(at), items.begin(), items.end());
  adopt(items);
  postAddedWhenFolder(items);
}

void QKFolder::addObjectsAtGridIndex(const Items& items, int gridIndex) {
  if (items.empty()) return;
  const size_t g = size_t(std::max(gridIndex, 0));
  if (gridLayout_.size() < g) gridLayout_.resize(g, -1);
  int remaining = int(items.size());
  int last = -1;
  int placed = 0;
  int insertAt = -1;
  for (size_t i = 0; i < gridLayout_.size(); ++i) {
    int& cell = gridLayout_[i];
    if (cell >= 0) {
      if (i >= g && insertAt == -1) insertAt = cell;
      last = cell + placed;
      cell = last;
    } else if (i >= g && remaining > 0) {
      cell = ++last;
      --remaining;
      ++placed;
    }
  }
  appendRows(remaining, last);
  if (insertAt == -1) insertAt = int(contents_.size());
  contents_.insert(contents_.begin() + insertAt, items.begin(), items.end());
  adopt(items);
  resetGridLayout();
  postAddedWhenFolder(items);
}

QKFolder::Items QKFolder::removeFromGrid(const std::set<int>& indexes) {
  Items removed;
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
    const int k = *it;
    if (k < 0 || size_t(k) >= contents_.size()) continue;
    for (int& cell : gridLayout_) {
      if (cell == k) {
        cell = -1;
        removed.push_back(contents_[size_t(k)]);
      } else if (cell > k) {
        --cell;
      }
    }
    contents_.erase(contents_.begin() + k);
  }
  resetGridLayout();
  return removed;
}

void QKFolder::removeObjectsAtIndexes(const std::set<int>& indexes) {
  for (const Item& item : removeFromGrid(indexes)) {
    if (item.file)
      item.file->prepareToBeDeleted();
    else
      NotificationCenter::defaultCenter().post(MediaNotifications::kFileFolderDeleted,
                                               item.folder.get());
  }
}

void QKFolder::theseObjectsWereMoved(const std::set<int>& indexes) { removeFromGrid(indexes); }

void QKFolder::clearContents() {
  const Items items = contents_;
  for (const Item& item : items) {
    if (item.folder) {
      item.folder->clearContents();
      NotificationCenter::defaultCenter().post(MediaNotifications::kFileFolderDeleted,
                                               item.folder.get());
    } else {
      item.file->prepareToBeDeleted();
    }
  }
  cellsDown_ = 0;
  contents_.clear();
  gridLayout_.clear();
}

int QKFolder::getDropIndexAndRemoveItems(const Items& items, const std::vector<int>& indexes,
                                         const std::vector<QKFolder*>& parents, int dropIndex) {
  std::vector<QKFolder*> order;
  for (QKFolder* folder : parents)
    if (folder && std::find(order.begin(), order.end(), folder) == order.end())
      order.push_back(folder);
  const size_t n = std::min({items.size(), indexes.size(), parents.size()});
  int lowered = dropIndex;
  for (size_t i = 0; i < n; ++i)
    if (parents[i] == this && indexes[i] < dropIndex) --lowered;
  for (QKFolder* folder : order) {
    std::set<int> theirs;
    for (size_t i = 0; i < n; ++i)
      if (parents[i] == folder) theirs.insert(indexes[i]);
    folder->theseObjectsWereMoved(theirs);
  }
  return lowered;
}

void QKFolder::moveItems(const Items& items, const std::vector<int>& indexes,
                         const std::vector<QKFolder*>& parents, int toIndex) {
  for (const Item& item : items)
    if (item.folder && item.folder->containsThisFolder(this)) return;
  const int at = getDropIndexAndRemoveItems(items, indexes, parents, toIndex);
  addObjects(items, at);
}

void QKFolder::moveItemsToGridIndex(const Items& items, const std::vector<int>& indexes,
                                    const std::vector<QKFolder*>& parents, int gridIndex) {
  for (const Item& item : items)
    if (item.folder && item.folder->containsThisFolder(this)) return;
  getDropIndexAndRemoveItems(items, indexes, parents, gridIndex);
  addObjectsAtGridIndex(items, gridIndex);
}

bool QKFolder::containsThisFolder(const QKFolder* folder) const {
  if (folder == this) return true;
  return std::any_of(contents_.begin(), contents_.end(), [folder](const Item& item) {
    return item.folder && item.folder->containsThisFolder(folder);
  });
}

QKFolder::Item QKFolder::findFileByUniqueFileId(long uniqueId) {
  if (uniqueFileId_ == uniqueId) return {nullptr, weak_from_this().lock()};
  for (const Item& item : contents_) {
    if (item.file && item.file->uniqueFileId() == uniqueId) return item;
    if (item.folder) {
      Item found = item.folder->findFileByUniqueFileId(uniqueId);
      if (found.file || found.folder) return found;
    }
  }
  return {};
}

QKFolder* QKFolder::findFolderByUniqueFileId(long uniqueId) {
  if (uniqueFileId_ == uniqueId) return this;
  for (const Item& item : contents_)
    if (item.folder)
      if (QKFolder* found = item.folder->findFolderByUniqueFileId(uniqueId)) return found;
  return nullptr;
}

QKFolder* QKFolder::findFolderWithName(const QString& name) {
  if (name_ == name) return this;
  for (const Item& item : contents_)
    if (item.folder)
      if (QKFolder* found = item.folder->findFolderWithName(name)) return found;
  return nullptr;
}

int QKFolder::lastFilledGridIndex() const {
  for (int i = int(gridLayout_.size()) - 1; i >= 0; --i)
    if (gridLayout_[size_t(i)] >= 0) return i;
  return -1;
}

int QKFolder::gridIndexOfObject(const Item& item) const {
  const auto found = std::find(contents_.begin(), contents_.end(), item);
  if (found == contents_.end()) return -1;
  const int k = int(found - contents_.begin());
  const auto cell = std::find(gridLayout_.begin(), gridLayout_.end(), k);
  return cell == gridLayout_.end() ? -1 : int(cell - gridLayout_.begin());
}

QKFolder::Items QKFolder::filesWhere(bool valid) const {
  Items kept;
  for (const Item& item : contents_)
    if (item.folder || item.file->validFile() == valid) kept.push_back(item);
  return kept;
}

QKFolder::Items QKFolder::missingFilesArray() const { return filesWhere(false); }
QKFolder::Items QKFolder::availableFilesArray() const { return filesWhere(true); }

void QKFolder::setName(const QString& name) {
  const QString old = name_;
  name_ = name;
  if (!old.isNull() && !name.isNull())
    NotificationCenter::defaultCenter().post(
        MediaNotifications::kFolderRenamed, this,
        {{MediaNotifications::kOldNameKey, old}, {MediaNotifications::kNewNameKey, name}});
}

// A width below one cell is taken as one.
void QKFolder::setCellsAcross(int cellsAcross) {
  cellsAcross = std::max(cellsAcross, 1);
  if (cellsAcross == cellsAcross_) return;
  cellsAcross_ = cellsAcross;
  resetGridLayout();
}

void QKFolder::resetGridLayout() {
  const int last = lastFilledGridIndex();
  cellsDown_ = last < 0 ? 1 : last / cellsAcross_ + 1;
  gridLayout_.resize(size_t(cellsAcross_ * cellsDown_), -1);
}

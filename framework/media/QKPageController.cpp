#include "framework/media/QKPageController.h"

#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "framework/media/QKMediaBinHost.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKURLFile.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <map>

const QString QKPageController::kPagesKey = QStringLiteral("pages");

namespace {
const QString kAllInputs = QStringLiteral("<all>");
const QString kNoInput = QStringLiteral("<none>");

bool isNib(const QString& path) {
  return QFileInfo(path).suffix().compare(QLatin1String("nib"), Qt::CaseInsensitive) == 0;
}
}  // namespace

// The directories already loaded in one walk, by canonical path, so that a
// link back up the tree is not followed again.
struct QKPageController::DirectoryWalk {
  QSet<QString> visited;
};

QKPageController::QKPageController(QKMediaBinHost* host) : host_(host) { addBlankPage(); }

QKPageController::~QKPageController() = default;

QKPageController::PagePtr QKPageController::makePage() {
  return QKPage::createPageWithCompositor(host_ ? host_->compositor() : nullptr,
                                          host_ ? host_->fileLoader() : nullptr);
}

void QKPageController::postPageListChanged() {
  NotificationCenter::defaultCenter().post(MediaNotifications::kPageListChanged, this);
}

void QKPageController::prepareToBeDeleted(const std::vector<PagePtr>& pages) {
  for (const PagePtr& page : pages) page->prepareToBeDeleted();
}

QVariantMap QKPageController::createSnapshot() {
  QVariantList pages;
  RWTryLock::ReadGuard guard(pagesLock_);
  for (const PagePtr& page : pages_) pages.append(page->createSnapshot());
  return {{kPagesKey, pages}};
}

void QKPageController::loadSnapshot(const QVariantMap& snapshot) {
  removeAllPages();
  // The new pages queue their files before they are in the list; the loader
  // takes them up on later passes, when the pages are there.
  std::vector<PagePtr> restored;
  for (const QVariant& entry : snapshot.value(kPagesKey).toList()) {
    PagePtr page = makePage();
    page->loadSnapshot(entry.toMap());
    restored.push_back(page);
  }
  if (restored.empty()) return;
  RWTryLock::WriteGuard guard(pagesLock_);
  if (guard.ownsLock()) pages_.insert(pages_.end(), restored.begin(), restored.end());
}

QKPageController::PagePtr QKPageController::addBlankPage() {
  PagePtr page = makePage();
  page->setName(QStringLiteral("Page %1").arg(pages_.size() + 1));
  {
    RWTryLock::WriteGuard guard(pagesLock_);
    if (!guard.ownsLock()) return nullptr;
    pages_.push_back(page);
  }
  postPageListChanged();
  return page;
}

void QKPageController::addPageFromDirectory(const QString& path) {
  DirectoryWalk walk;
  addPageFromDirectory(path, walk, 0);
}

void QKPageController::addPageFromDirectory(const QString& path, DirectoryWalk& walk, int depth) {
  if (path.isEmpty() || isNib(path)) return;
  if (walk.visited.contains(QFileInfo(path).canonicalFilePath())) return;
  if (depth > kMaxDirectoryDepth) {
    Log::line(QStringLiteral("\t\terr: %1 lies more than %2 folders deep, not loaded")
                  .arg(path)
                  .arg(kMaxDirectoryDepth));
    return;
  }
  PagePtr page = addBlankPage();
  if (!page) return;
  page->setName(QFileInfo(path).fileName());
  loadFilesFromDirectory(path, page, 0, walk, depth);
}

void QKPageController::addPageFromFolderSnapshot(const QVariantMap& snapshot) {
  if (snapshot.isEmpty()) return;
  if (PagePtr page = addBlankPage()) page->loadFolderSnapshot(snapshot);
}

void QKPageController::insertPage(const PagePtr& page, int index) {
  if (!page) return;
  RWTryLock::WriteGuard guard(pagesLock_);
  if (!guard.ownsLock()) return;
  if (std::find(pages_.begin(), pages_.end(), page) != pages_.end()) {
    Log::line(QStringLiteral("\t\terror: page was already in array"));
    return;
  }
  const int at = std::clamp(index, 0, int(pages_.size()));
  pages_.insert(pages_.begin() + at, page);
}

void QKPageController::removeAllPages() {
  std::vector<PagePtr> removed;
  {
    RWTryLock::WriteGuard guard(pagesLock_);
    if (!guard.ownsLock()) return;
    removed.swap(pages_);
  }
  prepareToBeDeleted(removed);
}

void QKPageController::removePageAtIndex(int index) {
  std::vector<PagePtr> removed;
  {
    RWTryLock::WriteGuard guard(pagesLock_);
    if (!guard.ownsLock()) return;
    if (index >= 0 && index < int(pages_.size())) {
      removed.push_back(pages_[size_t(index)]);
      pages_.erase(pages_.begin() + index);
    }
  }
  if (removed.empty())
    Log::line(QStringLiteral("\t\terr: attempted to remove page at invalid index"));
  prepareToBeDeleted(removed);
  postPageListChanged();
}

void QKPageController::removePagesAtIndexes(const std::set<int>& indexes) {
  std::vector<PagePtr> removed;
  {
    RWTryLock::WriteGuard guard(pagesLock_);
    if (!guard.ownsLock()) return;
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
      if (*it < 0 || *it >= int(pages_.size())) continue;
      removed.insert(removed.begin(), pages_[size_t(*it)]);
      pages_.erase(pages_.begin() + *it);
    }
  }
  prepareToBeDeleted(removed);
  postPageListChanged();
}

void QKPageController::copyPagesAtIndexes(const std::set<int>& indexes, int to) {
  std::vector<QVariantMap> snapshots;
  {
    RWTryLock::ReadGuard guard(pagesLock_);
    for (int i : indexes)
      if (i >= 0 && i < int(pages_.size()))
        snapshots.push_back(pages_[size_t(i)]->createSnapshot());
  }
  std::vector<PagePtr> copies;
  for (const QVariantMap& snapshot : snapshots) {
    PagePtr copy = makePage();
    copy->copyPageFromSnapshot(snapshot);
    copies.push_back(copy);
  }
  RWTryLock::WriteGuard guard(pagesLock_);
  if (!guard.ownsLock()) return;
  const int at = std::clamp(to, 0, int(pages_.size()));
  for (const PagePtr& copy : copies) pages_.insert(pages_.begin() + at, copy);
}

void QKPageController::movePagesAtIndexes(const std::set<int>& indexes, int to) {
  RWTryLock::WriteGuard guard(pagesLock_);
  if (!guard.ownsLock()) return;
  int at = std::clamp(to, 0, int(pages_.size()));
  std::vector<PagePtr> moving;
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
    if (*it < 0 || *it >= int(pages_.size())) continue;
    if (*it < at) --at;
    moving.insert(moving.begin(), pages_[size_t(*it)]);
    pages_.erase(pages_.begin() + *it);
  }
  pages_.insert(pages_.begin() + std::max(at, 0), moving.begin(), moving.end());
}

void QKPageController::movePageAtIndex(int from, int to) {
  if (from == to) return;
  {
    RWTryLock::WriteGuard guard(pagesLock_);
    if (!guard.ownsLock()) return;
    if (from < 0 || from >= int(pages_.size())) {
      Log::line(QStringLiteral("\t\terr: attempted to move page from invalid index"));
      return;
    }
    const int at = std::clamp(to, 0, int(pages_.size()));
    pages_.insert(pages_.begin() + at, pages_[size_t(from)]);
    pages_.erase(pages_.begin() + (from < at ? from : from + 1));
  }
  postPageListChanged();
}

QKPageController::PagePtr QKPageController::firstPage() {
  if (pages_.empty()) addBlankPage();
  RWTryLock::ReadGuard guard(pagesLock_);
  return pages_.empty() ? nullptr : pages_.front();
}

void QKPageController::addObjects(const Files& files, PagePtr page, int index) {
  if (!page) page = addBlankPage();
  if (!page) return;
  RWTryLock::WriteGuard guard(pagesLock_);
  if (guard.ownsLock()) page->addObjects(files, index);
}

void QKPageController::loadFilesFromDirectory(const QString& path, PagePtr page, int index) {
  DirectoryWalk walk;
  loadFilesFromDirectory(path, std::move(page), index, walk, 0);
}

// Entries are read in name order, so the pages come out the same on every
// run; a directory already seen in this walk (a link back up the tree) and
// anything nested deeper than kMaxDirectoryDepth are skipped.
void QKPageController::loadFilesFromDirectory(const QString& path, PagePtr page, int index,
                                              DirectoryWalk& walk, int depth) {
  if (isNib(path)) return;
  const QString canonical = QFileInfo(path).canonicalFilePath();
  if (canonical.isEmpty() || walk.visited.contains(canonical)) return;
  walk.visited.insert(canonical);
  QStringList files;
  const QStringList entries = QDir(path).entryList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QString& entry : entries) {
    const QString entryPath = QStringLiteral("%1/%2").arg(path, entry);
    const QFileInfo info(entryPath);
    if (info.isDir()) {
      addPageFromDirectory(entryPath, walk, depth + 1);
    } else if (info.exists()) {
      files.append(entryPath);
      if (!page) page = addBlankPage();
    }
  }
  QKFileLoaderInterface* loader = host_ ? host_->fileLoader() : nullptr;
  if (loader && !files.isEmpty()) loader->addTheseFilesToQueue(files, page.get(), index, false);
}

bool QKPageController::recordVideoInputNamed(const QString& inputName, long pageId, int index) {
  PagePtr page = pageForUniqueId(pageId);
  if (!page || !host_) return false;
  QStringList inputs{inputName};
  if (inputName == kAllInputs) {
    inputs.clear();
    const QStringList titles = host_->inputTapTitles();
    for (auto it = titles.rbegin(); it != titles.rend(); ++it)
      if (*it != kNoInput) inputs.append(*it);
  }
  for (const QString& input : inputs)
    addObjects({QKQTFile::createFromRecordingSource(input, host_->compositor())}, page, index);
  if (inputs.isEmpty()) return false;
  if (QKFileLoaderInterface* loader = host_->fileLoader()) loader->setAutoRecordOverride(true);
  host_->startRecordingFromRightClick();
  return true;
}

void QKPageController::copyFilesWithIds(const std::vector<long>& ids, const PagePtr& page,
                                        int index) {
  if (ids.empty() || !page) return;
  QVariantList snapshots;
  {
    RWTryLock::ReadGuard guard(pagesLock_);
    for (long id : ids)
      if (FilePtr file = lockedFileForUniqueId(id)) snapshots.append(file->returnSnapshot());
  }
  QKFileLoaderInterface* loader = host_ ? host_->fileLoader() : nullptr;
  if (loader) loader->copyTheseFilesFromSnapshots(snapshots, page.get(), index, false);
}

void QKPageController::moveFilesWithIds(const std::vector<long>& ids, const PagePtr& page,
                                        int index, bool replaceWithBlankSpaces) {
  if (ids.empty() || !page) return;
  const std::set<long> wanted(ids.begin(), ids.end());
  RWTryLock::WriteGuard guard(pagesLock_);
  if (!guard.ownsLock()) return;
  Files moving;
  std::map<QKPage*, std::set<int>> cells;
  int at = index;
  for (const PagePtr& p : pages_) {
    const QKPage::Cells& contents = p->contents();
    for (int c = 0; c < int(contents.size()); ++c) {
      if (!contents[size_t(c)] || !wanted.count(contents[size_t(c)]->uniqueFileId())) continue;
      moving.push_back(contents[size_t(c)]);
      cells[p.get()].insert(c);
      if (p == page && c < index && !replaceWithBlankSpaces) --at;
    }
  }
  for (const PagePtr& p : pages_)
    if (auto it = cells.find(p.get()); it != cells.end())
      p->removeObjectsAtIndexes(it->second, replaceWithBlankSpaces);
  page->addObjects(moving, at);
}

template <class Edit>
void QKPageController::editPageWithId(long pageId, Edit edit) {
  RWTryLock::WriteGuard guard(pagesLock_);
  if (!guard.ownsLock()) return;
  if (PagePtr page = lockedPageForUniqueId(pageId))
    edit(*page);
  else
    Log::line(QStringLiteral("\t\terr: page with id: %1 not found").arg(pageId));
}

void QKPageController::addTapNamed(const QString& tapName, long pageId, int index) {
  editPageWithId(pageId, [&](QKPage& page) { page.addTapFileNamed(tapName, index); });
}

void QKPageController::addBlankTextFileToPageWithId(long pageId, int index) {
  editPageWithId(pageId, [index](QKPage& page) { page.addTextFileAtIndex(index); });
}

// The thumbnail is asked for once the lock is free.
void QKPageController::addNewURLFileToPageWithId(long pageId, int index) {
  std::shared_ptr<QKURLFile> file;
  editPageWithId(pageId, [&](QKPage& page) { file = page.addURLFileAtIndex(index); });
  QKFileLoaderInterface* loader = host_ ? host_->fileLoader() : nullptr;
  if (file && loader) loader->createThumbnailForURLFile(file);
}

void QKPageController::closeGapAtIndex(int index, long pageId) {
  editPageWithId(pageId, [index](QKPage& page) { page.closeGapAtIndex(index); });
}

void QKPageController::closeAllGapsOnPageWithId(long pageId) {
  editPageWithId(pageId, [](QKPage& page) { page.removeAllBlanks(); });
}

void QKPageController::deleteFilesWithIds(const std::vector<long>& ids,
                                          bool replaceWithBlankSpaces) {
  const std::set<long> wanted(ids.begin(), ids.end());
  Files removed;
  {
    RWTryLock::WriteGuard guard(pagesLock_);
    if (!guard.ownsLock()) return;
    for (const PagePtr& page : pages_) {
      std::set<int> cells;
      const QKPage::Cells& contents = page->contents();
      for (int c = 0; c < int(contents.size()); ++c)
        if (contents[size_t(c)] && wanted.count(contents[size_t(c)]->uniqueFileId()))
          cells.insert(c);
      if (cells.empty()) continue;
      const Files gone = page->removeObjectsAtIndexes(cells, replaceWithBlankSpaces);
      removed.insert(removed.end(), gone.begin(), gone.end());
    }
  }
  for (const FilePtr& file : removed) file->prepareToBeDeleted();
  NotificationCenter::defaultCenter().post(MediaNotifications::kFinishedDeletingFiles);
}

int QKPageController::totalFileCount() {
  RWTryLock::ReadGuard guard(pagesLock_);
  int count = 0;
  for (const PagePtr& page : pages_)
    for (const FilePtr& cell : page->contents()) count += cell ? 1 : 0;
  return count;
}

QKPageController::FilePtr QKPageController::fileAtIndex(int index, const PagePtr& page) {
  if (!page) return nullptr;
  RWTryLock::ReadGuard guard(pagesLock_);
  const QKPage::Cells& contents = page->contents();
  if (index < 0 || index >= int(contents.size())) return nullptr;
  return contents[size_t(index)];
}

QKPageController::FilePtr QKPageController::fileForUniqueId(long uniqueId) {
  RWTryLock::ReadGuard guard(pagesLock_);
  return lockedFileForUniqueId(uniqueId);
}

// The trigger thread's lookup: one pass over the cells, one reference taken.
QKPageController::FilePtr QKPageController::lockedFileForUniqueId(long uniqueId) const {
  for (const PagePtr& page : pages_)
    for (const FilePtr& cell : page->contents())
      if (cell && cell->uniqueFileId() == uniqueId) return cell;
  return nullptr;
}

QKPageController::PagePtr QKPageController::pageForUniqueId(long uniqueId) {
  RWTryLock::ReadGuard guard(pagesLock_);
  return lockedPageForUniqueId(uniqueId);
}

QKPageController::PagePtr QKPageController::lockedPageForUniqueId(long uniqueId) const {
  for (const PagePtr& page : pages_)
    if (page->uniqueFileId() == uniqueId) return page;
  return nullptr;
}

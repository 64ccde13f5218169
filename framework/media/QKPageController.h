#pragma once

#include "platform/threading/RWTryLock.h"

#include <QString>
#include <QVariantMap>

#include <memory>
#include <set>
#include <vector>

class QKFile;
class QKMediaBinHost;
class QKPage;

// Owns the ordered list of media bin pages: the one place through which the
// media bin, the layer sources, the missing-files window and the project
// find, add, move, copy and delete pages and files, and the "pages" snapshot
// of the project.
//
// Threads and locks: the list and the pages' contents are changed on the
// main thread under the write lock of `pagesLock` and read from any thread
// under its read lock (the trigger thread and the sources look files up by
// ID). Both spin on the try-lock. Readers re-enter; a thread holding the
// read lock is refused the write lock (logged, the operation does nothing).
// Nothing is posted, no file prepares for deletion or is destroyed, and the
// loader is not called while the lock is held: operations collect that work
// under the lock and do it after unlocking. A file a lookup hands to another
// thread goes back through `QKFileRelease`.
class QKPageController {
 public:
  using PagePtr = std::shared_ptr<QKPage>;
  using FilePtr = std::shared_ptr<QKFile>;
  using Files = std::vector<FilePtr>;

  static const QString kPagesKey;  // "pages"
  // Directories nested deeper than this below the one loaded are skipped.
  static constexpr int kMaxDirectoryDepth = 8;

  // Starts with one blank page, "Page 1".
  explicit QKPageController(QKMediaBinHost* host);
  ~QKPageController();
  QKPageController(const QKPageController&) = delete;
  QKPageController& operator=(const QKPageController&) = delete;

  void rdlock() { pagesLock_.readLock(); }
  bool wrlock() { return pagesLock_.writeLock(); }
  void unlock() { pagesLock_.unlock(); }
  RWTryLock& pagesLock() { return pagesLock_; }
  // Unlocked: a caller that walks it takes the read lock.
  const std::vector<PagePtr>& pages() const { return pages_; }

  QVariantMap createSnapshot();
  // Every old page is deleted; the new pages get their files later through
  // the loader.
  void loadSnapshot(const QVariantMap& snapshot);

  PagePtr addBlankPage();
  void addPageFromDirectory(const QString& path);
  void addPageFromFolderSnapshot(const QVariantMap& snapshot);
  void insertPage(const PagePtr& page, int index);
  void removeAllPages();
  void removePageAtIndex(int index);
  void removePagesAtIndexes(const std::set<int>& indexes);
  void copyPagesAtIndexes(const std::set<int>& indexes, int to);
  // A destination beyond the count means the end.
  void movePagesAtIndexes(const std::set<int>& indexes, int to);
  void movePageAtIndex(int from, int to);
  PagePtr firstPage();

  // A null page: a blank page is appended and used.
  void addObjects(const Files& files, PagePtr page, int index);
  // Files become one queued load into the page (null: a new page when the
  // directory has files); sub-directories become pages of their own.
  void loadFilesFromDirectory(const QString& path, PagePtr page, int index);
  bool recordVideoInputNamed(const QString& inputName, long pageId, int index);
  void copyFilesWithIds(const std::vector<long>& ids, const PagePtr& page, int index);
  void moveFilesWithIds(const std::vector<long>& ids, const PagePtr& page, int index,
                        bool replaceWithBlankSpaces);
  void addTapNamed(const QString& tapName, long pageId, int index);
  void addBlankTextFileToPageWithId(long pageId, int index);
  void addNewURLFileToPageWithId(long pageId, int index);
  void closeGapAtIndex(int index, long pageId);
  void closeAllGapsOnPageWithId(long pageId);
  void deleteFilesWithIds(const std::vector<long>& ids, bool replaceWithBlankSpaces);

  int totalFileCount();
  FilePtr fileAtIndex(int index, const PagePtr& page);
  FilePtr fileForUniqueId(long uniqueId);
  FilePtr lockedFileForUniqueId(long uniqueId) const;
  PagePtr pageForUniqueId(long uniqueId);
  PagePtr lockedPageForUniqueId(long uniqueId) const;

 private:
  struct DirectoryWalk;
  PagePtr makePage();
  void postPageListChanged();
  void addPageFromDirectory(const QString& path, DirectoryWalk& walk, int depth);
  void loadFilesFromDirectory(const QString& path, PagePtr page, int index, DirectoryWalk& walk,
                              int depth);
  // Runs `edit` on the page with that ID under the write lock.
  template <class Edit>
  void editPageWithId(long pageId, Edit edit);
  static void prepareToBeDeleted(const std::vector<PagePtr>& pages);

  QKMediaBinHost* host_ = nullptr;
  std::vector<PagePtr> pages_;
  RWTryLock pagesLock_;
};

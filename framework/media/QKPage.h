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
class QKURLFile;

// One page of the media bin: a named row of grid cells, each a media file or
// a blank. The media bin triggers cells by position, so editing keeps files
// in their cells wherever a blank can absorb the shift. The contents never
// end in a blank.
//
// A page has no lock of its own: the page controller's lock guards it once
// it is in the list. Files that leave a page are handed back to the caller
// (the controller releases them after unlocking, on the main thread).
class QKPage : public QKFileParent, public std::enable_shared_from_this<QKPage> {
 public:
  using Cell = std::shared_ptr<QKFile>;  // null: a blank
  using Cells = std::vector<Cell>;

  static const QString kContentsKey;          // "contents"
  static const QString kNameKey;              // "name"
  static const QString kUniqueIdKey;          // "uniqueFileId"
  static const QString kNewPageName;          // "New Page"
  static const QString kUntitledText;         // "untitled text"
  static const QString kURLStringDefaultKey;  // "urlStringDefault"
  static const QString kDefaultURLString;     // "about:blank": contacts no server
  static constexpr int kBlank = -1;           // a blank cell in a snapshot

  // An empty page named "New Page" with a fresh ID.
  static std::shared_ptr<QKPage> createPageWithCompositor(CompositorInterface* compositor,
                                                          QKFileLoaderInterface* loader);
  QKPage(CompositorInterface* compositor, QKFileLoaderInterface* loader);
  ~QKPage() override;
  QKPage(const QKPage&) = delete;
  QKPage& operator=(const QKPage&) = delete;

  QString description() const;

  QVariantMap createSnapshot() const;
  // Restores the name and ID; the files are queued with the loader, each at
  // its stored cell.
  void loadSnapshot(const QVariantMap& snapshot);
  // Turns a legacy folder snapshot into this page, each file at its cell.
  void loadFolderSnapshot(const QVariantMap& snapshot);
  // "<name> copy", keeping this page's ID; every file is queued as a copy.
  void copyPageFromSnapshot(const QVariantMap& snapshot);

  // The grid insertion: the files stand from `index` on (negative: 0);
  // the cells after them move right only up to the first run of blanks,
  // which absorbs as much of the shift as it has blanks.
  void addObjects(const Cells& files, int index);
  // Removes the cells (blanks: each becomes a blank); answers the files
  // that left.
  // New entries inserted at `index`: a tap (a null name does nothing), a
  // blank text, a web page at the address of "urlStringDefault" (answered,
  // so that the caller asks for its thumbnail once no lock is held).
  void addTapFileNamed(const QString& tapName, int index);
  void addTextFileAtIndex(int index);
  std::shared_ptr<QKURLFile> addURLFileAtIndex(int index);
  Cells removeObjectsAtIndexes(const std::set<int>& indexes, bool replaceWithBlankSpaces = true);
  // Removes the run of blanks that holds `index` (nothing at a file cell).
  void closeGapAtIndex(int index);
  void removeEndFillerBlanks();
  void removeAllBlanks();

  Cell fileForUniqueId(long uniqueId) const;
  // The contents index of the last file; -1 without one.
  int firstFileIndex() const;
  Cells filesOnlyContents() const;
  int convertFilesOnlyIndexToContentsIndex(int index) const;
  Cells missingFilesArray() const;
  Cells availableFilesArray() const;
  // Just after the last cell.
  int lastFilledGridIndex() const { return int(contents_.size()); }

  // The deletion of every file is announced (files prepare themselves).
  void prepareToBeDeleted();

  // Posts "QKFolderRenamedNotification" unless it is the first naming.
  void setName(const QString& name);
  // Renames without announcing and answers the old name; for a caller that
  // holds the page lock and announces once it is free.
  QString exchangeName(const QString& name);
  void announceRename(const QString& oldName);
  QString name() const { return name_; }
  long uniqueFileId() const override { return uniqueFileId_; }
  const Cells& contents() const { return contents_; }
  bool wasFolder() const { return wasFolder_; }
  CompositorInterface* compositor() const { return compositor_; }
  QKFileLoaderInterface* loader() const { return loader_; }

 private:
  void takeNameAndId(const QVariantMap& snapshot);
  void queueOne(const QVariant& fileSnapshot, int index, bool asCopy);

  long uniqueFileId_ = 0;
  QString name_;
  Cells contents_;
  CompositorInterface* compositor_ = nullptr;
  QKFileLoaderInterface* loader_ = nullptr;
  bool wasFolder_ = false;
};

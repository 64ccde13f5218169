#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <vector>

class CompositorInterface;
class QKFileParent;
class QKFileSource;
namespace StoredProps {
struct Key;
}

// An entry of the media bin: a movie, a composition, a tap, a text, a web
// page or a still image. The base holds what every kind shares: the unique
// ID, the kind number, the name, the paths (as handed in, resolved, and
// relative), an 80 x 60 poster, the stored per-file properties, the page that
// holds it and the layer source that plays it. Each kind is a subclass that
// adds its own snapshot keys and loads its own media.
//
// Files are made, restored and snapshotted on the main thread. The stored
// properties are guarded (layer sources and loading threads read and change
// them); the other fields are main-thread state.
//
// Retirement: prepareToBeDeleted detaches the file and tells observers it is
// going, while it is still whole; the destructor only frees.
class QKFile : public std::enable_shared_from_this<QKFile> {
 public:
  // Kind numbers (`qkFileType`); 5 was never used.
  static constexpr int kMovieKind = 0;
  static constexpr int kCompositionKind = 1;
  static constexpr int kTapKind = 2;
  static constexpr int kTextKind = 3;
  static constexpr int kWebKind = 4;
  static constexpr int kImageKind = 6;
  static constexpr int kThumbnailWidth = 80;
  static constexpr int kThumbnailHeight = 60;

  // Snapshot keys.
  static const QString kTypeKey;      // "qkFileType"
  static const QString kUniqueIdKey;  // "uniqueFileId"
  static const QString kNameKey;      // "name"
  static const QString kUnnamed;      // "unnamed file"

  // A file to be restored from a snapshot: no ID yet.
  static std::shared_ptr<QKFile> createWithCompositor(CompositorInterface* compositor);
  // A new file with a fresh ID.
  static std::shared_ptr<QKFile> createWithName(const QString& name,
                                                CompositorInterface* compositor);

  explicit QKFile(CompositorInterface* compositor);
  QKFile(const QString& name, CompositorInterface* compositor);
  virtual ~QKFile();
  QKFile(const QKFile&) = delete;
  QKFile& operator=(const QKFile&) = delete;

  // Kinds without a movie: the poster becomes the icon of the file and the
  // file counts as found.
  void initNonQTFile();
  QString description() const;

  virtual QVariantMap createSnapshot();
  // The snapshot a project saves: the one the file was placed with while
  // its media is not loaded yet (a load cancelled during a restore), else a
  // new one.
  QVariantMap returnSnapshot() {
    return keptSnapshot_.isEmpty() ? createSnapshot() : keptSnapshot_;
  }
  // Keeps `snapshot` to be written back unchanged until the file is loaded
  // or relinked (then cleared with an empty map).
  void keepUnloadedSnapshot(const QVariantMap& snapshot) { keptSnapshot_ = snapshot; }
  bool hasUnloadedSnapshot() const { return !keptSnapshot_.isEmpty(); }
  // The base part of a restore: ID (reported back to the counter) and name.
  virtual bool loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor);
  // A kind's own loading of its media from a path found by the restore;
  // answers whether it could.
  virtual bool loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                                CompositorInterface* compositor);

  // `fullPath` relative to the application, percent-escaped; empty without
  // a full path.
  QString createRelPath() const;
  // Symbolic links stand for aliases: a link resolves to its final target;
  // any other path (or one that cannot be resolved) is returned unchanged.
  static QString resolveAliasFilePath(const QString& path, bool isAlias = false);
  static QString justResolveAliasFilePath(const QString& path);

  // Scales the whole image into the 80 x 60 poster and posts
  // "QKFilePosterImageChangedNotification".
  void setPosterImage(const QImage& image);
  QImage posterImage() const { return posterImage_; }

  // Stored properties. `setMovieProps` replaces the whole contents.
  bool hasMovieProps() const;
  QVariantMap movieProps() const;  // empty when there are none
  QVariant movieProp(const QString& key) const;
  void setMovieProps(const QVariantMap& props);
  void setMovieProp(const QString& key, const QVariant& value);
  void removeMovieProp(const QString& key);
  void clearMovieProps();  // no properties at all

  virtual void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

  CompositorInterface* compositor() const { return compositor_; }
  int qkFileType() const { return qkFileType_; }
  long uniqueFileId() const { return uniqueFileId_; }
  QString name() const { return name_; }
  virtual void setName(const QString& name) { name_ = name; }
  QKFileParent* parent() const { return parent_; }
  void setParent(QKFileParent* parent) { parent_ = parent; }
  std::shared_ptr<QKFileSource> currentSource() const { return currentSource_.lock(); }
  void setCurrentSource(const std::shared_ptr<QKFileSource>& source) { currentSource_ = source; }
  bool validFile() const { return validFile_; }
  bool fileIsMissing() const { return fileIsMissing_; }
  // Why the file's media could not be opened, in a performer's words and
  // naming the file (what the media bin shows); empty once it opened.
  QString loadError() const { return loadError_; }
  bool fileIsAlias() const { return fileIsAlias_; }
  QString fullPath() const { return fullPath_; }
  void setFullPath(const QString& path) { fullPath_ = path; }
  QString relPath() const { return relPath_; }
  QString originalPath() const { return originalPath_; }
  QString fileType() const { return fileType_; }

 protected:
  // The restore of a kind with media on disk: the base restore, the search
  // for the media, the kind's loading, and the missing-file notice.
  bool loadWithMediaFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor);
  // The path handed in becomes `originalPath`, its resolved form `fullPath`,
  // and `relPath` is refreshed.
  void takePath(const QString& path);
  void refreshRelPath();
  // The base snapshot with those of `keys` present in the properties under
  // "movieProps".
  QVariantMap snapshotWithStoredProps(const std::vector<StoredProps::Key>& keys);

  CompositorInterface* compositor_ = nullptr;
  int qkFileType_ = kMovieKind;
  long uniqueFileId_ = 0;
  QString name_;
  QImage posterImage_;
  QKFileParent* parent_ = nullptr;
  std::weak_ptr<QKFileSource> currentSource_;
  bool validFile_ = false;
  bool fileIsMissing_ = false;
  QString loadError_;
  bool fileIsAlias_ = false;
  QString fullPath_;
  QString relPath_;
  QString originalPath_;
  QString fileType_;

 private:
  QVariantMap keptSnapshot_;
  mutable std::mutex propsMutex_;
  bool hasProps_ = false;
  QVariantMap props_;
  bool deleted_ = false;
};

Q_DECLARE_METATYPE(std::shared_ptr<QKFile>)

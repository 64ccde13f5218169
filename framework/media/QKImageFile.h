#pragma once

#include "framework/media/QKFile.h"
#include "framework/media/StoredProps.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <mutex>
#include <vector>

// A still image of the media bin. A layer shows it plainly or through a
// style composition that takes the image as input; the image and
// composition sources draw it from the cache bitmap: the image decoded at
// its cache size (fitted into a square of "maxImageCacheSizeDefault",
// 1280 by default), premultiplied ARGB32, in the file's orientation.
//
// The bitmap is a shared immutable image. A reader (a source on the render
// thread) keeps its own reference while it draws, so dropping ours never
// frees pixels in use: every release is "drop our reference", and the file
// takes no lock a frame holds. The pointer itself sits behind a mutex held
// only to copy or swap it.
//
// Made and changed on the main thread (the loader decodes there: the decode
// reads the image at its cache size, never in full first).
class QKImageFile : public QKFile {
 public:
  using Bitmap = std::shared_ptr<const QImage>;

  static constexpr int kDefaultCacheLimit = 1280;
  static const QString kBuiltInPlayer;  // "<Built-In Player>"
  static const QString kCacheImageKey;  // "cacheImage"
  static const QString kUseStyleKey;    // "useStyle"
  static const QString kStyleNameKey;   // "styleName"
  static const std::vector<StoredProps::Key>& storedKeys();

  // Whether the extension (any case) is one the image reader reads.
  static bool isImageFileAtPath(const QString& path);
  // The cache limit: the user default "maxImageCacheSizeDefault", else 1280.
  static int cacheLimit();
  // `original` fitted into `limit`: the longer side becomes the limit when
  // it is larger, the other side follows the aspect ratio, rounded to the
  // nearest pixel (halves away from zero).
  static QSize fittedSize(QSize original, int limit);
  // The image at `path` decoded at its fitted size; null, with `error` set,
  // when it cannot be.
  static Bitmap imageRepAtPath(const QString& path, QString* error = nullptr);

  // An empty file to restore from a snapshot.
  static std::shared_ptr<QKImageFile> createWithCompositor(CompositorInterface* compositor);
  // A file for the image at `path`, named after its last component; invalid
  // (logged) when the image cannot be read.
  static std::shared_ptr<QKImageFile> createWithFilePath(const QString& path,
                                                         CompositorInterface* compositor);

  explicit QKImageFile(CompositorInterface* compositor);
  QKImageFile(const QString& name, CompositorInterface* compositor);
  ~QKImageFile() override;

  // The kind and the seven defaults (the style name only when one is found).
  void setMoviePropDefaults();
  // 0: the image is shown plainly; 1: through its style composition; 2: the
  // layer chooses the style.
  int useImageSource() const;
  // Makes, keeps or drops the bitmap as "cacheImage" and the limit ask.
  void prepareImageCacheIfNeeded();

  Bitmap imageRep() const;
  void setImageRep(Bitmap bitmap);
  QSize originalSize() const { return originalSize_; }
  void setOriginalSize(QSize size) { originalSize_ = size; }
  QSize actualSize() const { return actualSize_; }
  void setActualSize(QSize size) { actualSize_ = size; }

  QVariantMap createSnapshot() override;
  bool loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) override;
  bool loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                        CompositorInterface* compositor) override;
  QVariantMap convertPropsToDict() const;
  void convertDictToProps(const QVariant& stored);

 private:
  // The set-up from the image at `fullPath`: sizes, poster, the caching
  // decision and the bitmap. False (logged) when the image cannot be read.
  bool initWithImage();
  void takeFilePath(const QString& path);
  bool cachingWanted();

  mutable std::mutex bitmapMutex_;  // guards bitmap_ (the pointer only)
  Bitmap bitmap_;
  QSize originalSize_;
  QSize actualSize_;
};

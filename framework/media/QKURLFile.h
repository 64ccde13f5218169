#pragma once

#include "framework/media/QKFile.h"
#include "framework/media/StoredProps.h"
#include "platform/web/WebArchive.h"

#include <optional>
#include <vector>

struct Notification;

// The media file a layer's web source shows: a web address, a local HTML or
// Flash (SWF) file, a saved web archive, or a ".webloc" file (whose address
// is read from its property list, so that it behaves as a web address). It
// keeps the address or the archive and the size the page is rendered at,
// and asks the file loader for its thumbnail.
//
// Made through the create functions, which also make the file follow
// "QKURLFileReloadThumbnailsNotification". Main-thread state.
class QKURLFile : public QKFile {
 public:
  static const QString kUrlStringKey;  // "urlString"
  static const QString kReloadThumbnailsNotification;
  static const std::vector<StoredProps::Key>& storedKeys();

  // Whether the path's extension is one of "webloc", "url", "webarchive",
  // "html", "SWF" or "swf" (exact case).
  static bool isURLFile(const QString& path);

  static std::shared_ptr<QKURLFile> createWithCompositor(CompositorInterface* compositor);
  // For a file on disk (the loader makes one for every path isURLFile
  // accepts): a web archive, a webloc, or an HTML or SWF file (any case of
  // the extension) shown by its file URL; any other path stays invalid.
  static std::shared_ptr<QKURLFile> createWithFilePath(CompositorInterface* compositor,
                                                       const QString& path);
  static std::shared_ptr<QKURLFile> createWithURLString(CompositorInterface* compositor,
                                                        const QString& urlString);
  static std::shared_ptr<QKURLFile> createWithWebArchiveData(CompositorInterface* compositor,
                                                             const QByteArray& data,
                                                             const QString& name);
  // The address from the webloc's "URL"; invalid without one.
  static std::shared_ptr<QKURLFile> createWithWebloc(CompositorInterface* compositor,
                                                     const QString& path);
  static std::shared_ptr<QKURLFile> createWithName(const QString& name,
                                                   CompositorInterface* compositor);

  explicit QKURLFile(CompositorInterface* compositor);
  QKURLFile(const QString& name, CompositorInterface* compositor);

  // Makes the properties when missing and sets the three defaults.
  void setDefaults();

  QString urlString() const { return urlString_; }
  void setUrlString(const QString& urlString) { urlString_ = urlString; }
  const std::optional<WebArchive>& webArchive() const { return webArchive_; }
  void setWebArchive(std::optional<WebArchive> archive) { webArchive_ = std::move(archive); }
  // A web archive, or an address without the scheme "http…" or "rtsp".
  bool isLocalFile() const;
  // The name an entry made for an address takes: the text after its last
  // "/" (trailing ones ignored).
  static QString lastPathComponent(const QString& urlString);

  // Asks the file loader for a thumbnail when there is no poster yet.
  void refreshThumbnailNotification(const Notification& notification);

  QVariantMap createSnapshot() override;
  bool loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) override;
  bool loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                        CompositorInterface* compositor) override;
  QVariantMap convertMoviePropsToDict() const;
  void convertDictToMovieProps(const QVariant& stored);

 private:
  static std::shared_ptr<QKURLFile> observed(std::shared_ptr<QKURLFile> file);
  // The address a webloc file holds; empty (logged) without one.
  static QString weblocAddress(const QString& path);
  static QString fileUrlString(const QString& path);
  void takeFilePath(const QString& path);
  bool readWebArchive(const QString& path);
  bool loadAddress(const QVariantMap& snapshot, const QString& path);

  QString urlString_;
  std::optional<WebArchive> webArchive_;
};

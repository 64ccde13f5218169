#pragma once

#include "framework/media/QKFile.h"
#include "framework/media/StoredProps.h"

#include <vector>

// A composition file of the media bin, played by a layer's composition
// source. Its poster is the thumbnail stored in the composition file; a
// composition without one has no poster.
class QKQCFile : public QKFile {
 public:
  static const QString kThumbnailKey;  // "thumbnail"
  static const std::vector<StoredProps::Key>& storedKeys();

  // Whether the extension is the composition extension in lower or upper
  // case ("qtz", "QTZ"; not "Qtz").
  static bool hasCompositionExtension(const QString& path);
  // The image stored under "thumbnail" in the composition's property list;
  // null when there is none.
  static QImage thumbnailForQCAtPath(const QString& path);

  // An empty file to restore from a snapshot.
  static std::shared_ptr<QKQCFile> createWithCompositor(CompositorInterface* compositor);
  static std::shared_ptr<QKQCFile> createWithPath(const QString& path, const QString& name,
                                                  CompositorInterface* compositor);

  explicit QKQCFile(CompositorInterface* compositor);
  QKQCFile(const QString& name, CompositorInterface* compositor);

  // The kind, the four defaults, the poster; the file counts as found.
  void initQCPatch();

  QVariantMap createSnapshot() override;
  bool loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) override;
  bool loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                        CompositorInterface* compositor) override;
  QVariantMap convertQCPropsToDict() const;
  void convertDictToQCProps(const QVariant& stored);
};

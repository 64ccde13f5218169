#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class CompositorInterface;
class QKFile;

// Which class a file snapshot turns back into. The snapshot's kind comes
// from "qtFlag" (a movie), else "qcFlag" (a composition), else
// "qkFileType"; a movie whose full path names a still image becomes the
// still-image kind (QKImageFile::isImageFileAtPath). Kind 5, unknown numbers and
// snapshots without a kind make no file.
//
// Every kind is built in; a maker or still-image test registered for a kind
// stands in for the built-in one (null restores it).
class QKFileKindTable {
 public:
  using Maker = std::function<std::shared_ptr<QKFile>(CompositorInterface*)>;
  using PathTest = std::function<bool(const QString& path)>;

  static std::optional<int> kindOfSnapshot(const QVariantMap& snapshot);
  // An empty file of the snapshot's kind, ready for its loadFromSnapshot;
  // null when the snapshot names no kind that makes a file.
  static std::shared_ptr<QKFile> createForSnapshot(const QVariantMap& snapshot,
                                                   CompositorInterface* compositor);

  static void registerKind(int kind, Maker maker);
  // How the still-image kind recognises its files.
  static void registerStillImageTest(PathTest test);
};

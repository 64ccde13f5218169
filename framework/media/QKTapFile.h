#pragma once

#include "framework/media/QKFile.h"

// The entry of the media bin that plays a named image stream rather than a
// file: the tap of another layer, or the live video input's tap. The name is
// the tap name; the entry is always valid, having no file to look for.
class QKTapFile : public QKFile {
 public:
  static const QString kIsVideoInputKey;  // "isVideoInput"

  // An empty entry to restore from a snapshot.
  static std::shared_ptr<QKTapFile> createWithCompositor(CompositorInterface* compositor);
  static std::shared_ptr<QKTapFile> createWithTapName(const QString& tapName,
                                                      CompositorInterface* compositor);

  // Whether a tap name is the live video input's: longer than six
  // characters and starting with "VidIn" (exact case).
  static bool isVideoInputName(const QString& tapName);

  explicit QKTapFile(CompositorInterface* compositor);
  QKTapFile(const QString& tapName, CompositorInterface* compositor);

  // Renaming recomputes the video-input flag.
  void setName(const QString& name) override;
  bool isVideoInput() const { return isVideoInput_; }
  void setIsVideoInput(bool isVideoInput) { isVideoInput_ = isVideoInput; }

  QVariantMap createSnapshot() override;
  using QKFile::loadFromSnapshot;
  // The base restore, then the stored flag (the name rule is not applied).
  bool loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) override;

 private:
  bool isVideoInput_ = false;
};

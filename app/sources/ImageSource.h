#pragma once

#include "app/sources/SourceFileSlot.h"
#include "app/sources/VidSourceObject.h"
#include "framework/media/QKImageFile.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/gl/PixelUploader.h"

#include <QImage>
#include <QPointer>
#include <QSizeF>

#include <atomic>
#include <memory>
#include <mutex>

class CIPositionElement;
#include <QLineEdit>

// The built-in image player: shows a still image of the media bin as it
// is, and the layer takes the image's size. The bitmap is ready before any
// frame asks for it (the file's cache bitmap, else a decode on a worker
// thread), and the render thread only uploads it: once per load, then the
// same texture every frame.
//
// Loads, ejects and style choices run on the main thread under
// `renderLock_`; the render thread only tries the lock and keeps its last
// picture for a frame when it is busy.
class ImageSource : public VidSourceObject {
 public:
  static const QString kSourceType;  // "imageSource"

  ImageSource(const QString& name, Layer* layer);
  ~ImageSource() override;

  void loadThisFile(const std::shared_ptr<QKFile>& file) override;
  void eject() override;
  void render(const gl::DisplayLink::Frame& frame) override;
  gl::TextureHandle currentTexture() override;
  std::shared_ptr<QKFile> currentFile() const override { return currentFile_.load(); }
  bool hasFile() const override { return currentFile_.holdsFile(); }
  QString currentPath() const override;
  void prepareToBeDeleted() override;

  // Main thread: the file plays through the player composition `style`
  // ("<Built-In Player>": this source) from now on.
  void setImageStyleWithStyleNamed(const QString& style);

  QVariantMap createSnapshot() const override;
  using VidSourceObject::loadSnapshot;
  void loadSnapshot(const QVariantMap& snapshot, bool trigger) override;

  QSizeF renderSize() const;
  // Render thread: how many textures were made since the source was.
  int uploadCount() const { return uploads_.load(); }
  // Main thread: true while a decode for the current load is under way.
  bool decoding() const { return decoding_.load(); }
  QLineEdit* widthTextField() const { return widthField_; }
  QLineEdit* heightTextField() const { return heightField_; }
  CIPositionElement* renderPositionElement() const { return position_.get(); }

 private:
  void makePanel();
  void unlockedEject();
  void takeBitmap(const QKImageFile::Bitmap& bitmap);
  void decodeLater(const QString& path, long generation);
  void decoded(QKImageFile::Bitmap bitmap, long generation, const QString& path);
  void paramsUpdated(const void* object);
  bool isCurrentSource() const;

  std::mutex renderLock_;
  // Under renderLock_:
  SourceFileSlot currentFile_;
  QImage pending_;  // straight RGBA, waiting for the next frame
  bool needsUpdate_ = false;
  QSizeF renderSize_{640, 480};
  long generation_ = 0;
  // Render thread:
  gl::TextureHandle texture_;
  gl::PixelUploader uploader_;
  std::atomic<int> uploads_{0};
  std::atomic<bool> decoding_{false};

  QPointer<QLineEdit> widthField_;
  QPointer<QLineEdit> heightField_;
  std::shared_ptr<CIPositionElement> position_;
  NotificationObservers observers_;
};

#pragma once

#include "app/sources/SourceFileSlot.h"
#include "app/sources/VidSourceObject.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class QKQCScrollView;
class QKQCSrcGLAttribContext;
class QKTextUI;

// Plays a composition on a layer: a composition file itself, a text file
// through a text player (a composition publishing "FileInput"), or a still
// image through an image player (publishing "imageFileInput"). The panel
// of the composition shows in the source's panel; its values are kept per
// file and per player (style), so a text or image comes back as it was.
//
// `threadLock_` is the source's one lock: loads, ejects and style changes
// (main thread) take it by spinning on try-lock; the frame tries it once
// and is skipped while it is held, keeping the layer's last picture. A
// load's new layer size is announced after it is let go.
class QCSource : public VidSourceObject {
 public:
  static const QString kSourceType;  // "qcSource"

  // `context` null: made with the render thread's main context.
  QCSource(const QString& name, Layer* layer,
           std::shared_ptr<QKQCSrcGLAttribContext> context = nullptr);
  ~QCSource() override;

  void loadThisFile(const std::shared_ptr<QKFile>& file) override;
  void render(const gl::DisplayLink::Frame& frame) override;
  gl::TextureHandle currentTexture() override;
  void eject() override;
  std::shared_ptr<QKFile> currentFile() const override { return currentFile_.load(); }
  bool hasFile() const override { return currentFile_.holdsFile(); }
  QString currentPath() const override;
  QString currentPatchPath() const;
  bool qcFlag() const override { return true; }
  // The composition now asked for takes a live video input and was refused.
  bool refusedVideoInput() const override { return refusedVideoInput_.load(); }
  void prepareToBeDeleted() override;

  // Main thread: a text or image file plays through another player.
  void setTextStyleWithStyleNamed(const QString& style);

  // Null: none chosen yet.
  QString lastTextStyleName() const;
  void setLastTextStyleName(const QString& name);
  QString lastImageStyleName() const override;
  void setLastImageStyleName(const QString& name) override;
  QVariantMap attributeSnapshotsDict() const;

  QVariantMap createSnapshot() const override;
  using VidSourceObject::loadSnapshot;
  void loadSnapshot(const QVariantMap& snapshot, bool trigger) override;

  QKQCSrcGLAttribContext* contextHolder() const { return context_.get(); }
  bool useCustomRenderSize() const { return useCustomRenderSize_; }
  QSizeF renderSize() const { return renderSize_; }

  // Main thread.
  void canvasSizeChanged();
  void paramsUpdated(const void* file);

 private:
  void makePanel();
  void spinLock() const;
  void unlockedEject();
  // Writes the panel's values back; the caller holds threadLock_.
  void updateFileQCAttributeSnapshot() const;
  void loadComposition(const std::shared_ptr<QKFile>& file);
  void loadText(const std::shared_ptr<QKFile>& file);
  void loadImage(const std::shared_ptr<QKFile>& file);
  // The file's own values for `style`, else the per-style ones.
  void applyStyleValues(const QKFile& file, const std::optional<QString>& style,
                        bool useFileValues);
  static std::optional<QString> styleOrNone(const QString& name);
  void attach(const std::shared_ptr<QKFile>& file);
  QSizeF applySize(const QKFile& file);
  void announceLayerSize(QSizeF size);
  void useComposition(const QString& path);
  QKTextUI* textInput() const;
  bool isCurrentSource() const;

  std::shared_ptr<QKQCSrcGLAttribContext> context_;
  QPointer<QKQCScrollView> scrollView_;
  SourceFileSlot currentFile_;
  mutable std::mutex threadLock_;
  // Main thread:
  bool useCustomRenderSize_ = false;
  QSizeF customRenderSize_;
  QSizeF canvasSize_;
  QSizeF renderSize_;
  QString patchPath_;
  std::atomic<bool> refusedVideoInput_{false};
  mutable QVariantMap attributeSnapshotsDict_;
  mutable std::mutex styleMutex_;  // guards the two names
  QString lastTextStyleName_;
  QString lastImageStyleName_;
  NotificationObservers observers_;
};

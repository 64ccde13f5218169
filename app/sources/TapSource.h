#pragma once

#include "app/sources/SourceFileSlot.h"
#include "app/sources/VidSourceObject.h"
#include "framework/taps/QKRTapDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QString>

#include <memory>
#include <atomic>

class QKRTap;
class QKTapFile;

// Shows a tap: the picture another layer or a live input publishes under a
// name, handed on as the producer's own texture (no copy). It refuses a tap
// that would feed its layer from itself, directly or down a chain of tap
// sources. The tap comes from a tap file of the media bin or from the tap
// pop-up of the layer window.
//
// Binding, files, snapshots and stop/start run on the main thread; the
// render thread only reads the receiver's frame (the tap manager's lock
// guards the binding). The receiver tells a size change on the render
// thread: the layer takes the new size on the main thread.
class TapSource : public VidSourceObject, public QKRTapDelegate {
 public:
  static const QString kSourceType;          // "tapSource"
  static const QString kStoppedName;         // "<null>"
  static const QString kLastSelectedTapKey;  // "lastSelectedTapName"
  static const QString kStoppedTapKey;       // "stopedTapName"
  static const QString kSourceFileIDKey;     // "sourceFileID"

  TapSource(const QString& name, Layer* layer);
  ~TapSource() override;

  // False (logged) for the own layer's tap, a tap that shows this layer
  // back, or a name no source tap has; the binding is then unchanged.
  bool useTapNamed(const QString& name) override;
  QString receivingTapName() const override { return boundTapName(); }
  LayerInterface* tappedLayer() const override;
  void loadThisFile(const std::shared_ptr<QKFile>& file) override;
  void eject() override;
  void stop() override;
  void start() override;
  void updateTapSize() override;
  void render(const gl::DisplayLink::Frame& frame) override;
  gl::TextureHandle currentTexture() override;
  std::shared_ptr<QKFile> currentFile() const override;
  bool hasFile() const override { return currentFile_.holdsFile(); }
  QString currentPath() const override;
  bool isVideoInput() const override { return isVideoInput_.load(); }
  void prepareToBeDeleted() override;

  QVariantMap createSnapshot() const override;
  using VidSourceObject::loadSnapshot;
  void loadSnapshot(const QVariantMap& snapshot, bool trigger) override;

  QKRTap* rTap() const { return rTap_.get(); }
  QString boundTapName() const;
  QString stoppedTapName() const { return stoppedTapName_; }

 private:
  bool isCurrentSource() const;
  void takeSourceSize();
  void fileParamsUpdated(const void* file);

  std::shared_ptr<QKRTap> rTap_;
  QString stoppedTapName_;
  SourceFileSlot currentFile_;
  std::atomic<bool> isVideoInput_{false};
  NotificationObservers observers_;
};

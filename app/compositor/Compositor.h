#pragma once

#include "app/compositor/BufferSetPool.h"
#include "app/compositor/CompModeLists.h"
#include "app/compositor/RestoreGate.h"
#include "app/compositor/SourceFolderTable.h"
#include "framework/datasource/MasterClockInterface.h"
#include "framework/media/CompositorInterface.h"
#include "framework/media/UniqueIDCounter.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/gl/DisplayLink.h"
#include "platform/gl/RenderTarget.h"

#include <QMenu>
#include <QSizeF>
#include <QTransform>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class CaptureRenderer;
class CompositorLayer;
class FrameDrawer;
class QKTapManager;
namespace image {
class Image;
class ImageContext;
}  // namespace image

// Owns the stack of layers and composites it every frame; builds the lists
// the rest of the program reads (comp modes, source classes, the text and
// image players) and hands out unique IDs.
//
// Locks: `lockForRender` (main thread, blocking) takes the render lock, then
// the capture controller's, then every top-level layer's, first to last; a
// frame only tries them (`tryLockForFrame`) and is skipped when one is busy.
// The render lock is not recursive. The canvas state (sizes, presentation
// mode, transform, contents mode) and the buffer pool have locks of their
// own; a frame copies what it needs when it locks.
class Compositor : public CompositorInterface {
 public:
  using LayerPtr = std::shared_ptr<CompositorLayer>;
  using SourceFactory = std::function<std::shared_ptr<void>()>;

  // What the creation reads from the system; tests give their own.
  struct Environment {
    QStringList gpuVendors;
    QStringList compositeFilterNames;  // in the registry's order
    std::function<QString(const QString&)> localizedFilterName;
    QString applicationFolder;  // the folder holding qcCompModes etc. ("/" at the end)
    QString userFolder;         // "QCUserDirectoryPath", tilde-expanded; empty when unset
    std::function<bool(const QString&)> isValidCompMode;
    static Environment fromSystem();
  };

  // The frame's view of the canvas, copied under the state lock.
  struct FrameState {
    QSizeF displaySize;
    QSizeF canvasSize;
    QTransform canvasToWindow;
    int contentsRenderingMode = 1;
    BufferSetPool::SetPtr canvasSet;
  };

  // Releases what a frame locked, in the order of `unlockRender`.
  class FrameLock {
   public:
    explicit FrameLock(Compositor& compositor) : compositor_(&compositor) {}
    ~FrameLock();
    FrameLock(const FrameLock&) = delete;
    FrameLock& operator=(const FrameLock&) = delete;

   private:
    friend class Compositor;
    Compositor* compositor_;
    bool capture_ = false;
    std::vector<LayerPtr> layers_;
  };

  static const QString kCompModesChangedNotification;   // "QKCompModesChangedNotification"
  static const QString kCanvasSizeChangedNotification;  // "CanvasSizeChangedNotification"
  static const QStringList& sourceClassNames();

  // Takes the tap manager over.
  Compositor(std::unique_ptr<QKTapManager> tapManager, Environment environment);
  ~Compositor() override;
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  // --- Set-up (main thread) ---------------------------------------------------
  void awake();
  void loadSourceClassDict();
  void registerSourceFactory(const QString& className, SourceFactory factory);
  const std::map<QString, SourceFactory>& sourceClassDict() const { return sourceClasses_; }
  void populateCompFilterTypes();
  void prepareFontSynthPathsDict();
  void prepareImageSourcePathsDict();
  // Registers the program's own filters with the filter registry.
  static void loadCustomFilters();
  void setContentsRenderingMode(int mode);
  int contentsRenderingMode() const;

  const QStringList& compFilterHumanNameArray() const { return compModes_.humanNames; }
  const QStringList& compFilterNameArray() const { return compModes_.names; }
  const CompModeLists& compModeLists() const { return compModes_; }
  QMenu* compModeMenu() const { return compModeMenu_.get(); }
  const SourceFolderTable& fontSynthTable() const { return fontSynth_; }
  const SourceFolderTable& imageSourceTable() const { return imageSources_; }
  bool workingFormatIs8Bit() const { return eightBit_; }
  QKTapManager* tapManager() const { return tapManager_.get(); }
  // Chooses the working format from the GL vendors: 16-bit only when every
  // vendor is NVIDIA or ATI.
  static bool eightBitForVendors(const QStringList& vendors);

  // --- CompositorInterface ------------------------------------------------------
  long getUniqueID() override { return uniqueIDs_.next(); }
  void uniqueIDRecovered(long uniqueID) override { uniqueIDs_.recovered(uniqueID); }
  void lockForRender() override;
  void unlockRender() override;
  QMap<QString, QString> imageSourcesPathsDict() override { return imageSources_.paths; }
  QStringList imageSourcesNames() override { return imageSources_.menuTitles; }
  QMap<QString, QString> fontSynthPathsDict() override { return fontSynth_.paths; }
  QStringList fontSynthNames() override { return fontSynth_.menuTitles; }
  QKFileLoaderInterface* fileLoader() override { return fileLoader_; }
  void setFileLoader(QKFileLoaderInterface* loader) { fileLoader_ = loader; }
  // Any thread: the master clock's beats per measure, 4 without a clock.
  int beatsPerMeasure() override {
    MasterClockInterface* clock = masterClock_.load();
    return clock ? clock->beatsPerMeasure() : 4;
  }
  void setMasterClock(MasterClockInterface* clock) { masterClock_.store(clock); }

  // --- Layers and windows drawn per frame (main thread) ------------------------
  // Replaces the top-level layers under the render lock (index 0 on top).
  void setLayerArray(std::vector<LayerPtr> layers);
  std::vector<LayerPtr> layerArray() const;
  void setCaptureRenderer(CaptureRenderer* capture);
  void setMediaInspector(FrameDrawer* inspector);
  void registerNewPreviewWindow(FrameDrawer* window);
  void removeRegisteredPreviewWindow(FrameDrawer* window);
  void idleCallback();
  void recordingToggleUsed(int value);
  bool recording() const { return recording_; }

  // --- Canvas (main thread) ------------------------------------------------------
  void setDisplaySize(QSizeF size);
  // False (logged) for a mode outside 0-3.
  bool setCanvasPresentationMode(long mode);
  void canvasSizeChanged(QSizeF size);
  void layerSizeChangedFrom(QSizeF from, QSizeF to) { pool_.layerSizeChanged(from, to); }
  const BufferSetPool& bufferPool() const { return pool_; }
  QTransform canvasToWindowTransform() const;

  // --- Restores -------------------------------------------------------------------
  RestoreGate& restoreGate() { return gate_; }
  bool restoringPreset() const { return gate_.restoring(); }

  // --- Frame (render thread) --------------------------------------------------------
  // Every lock of the frame, or null (nothing held) when one is busy.
  std::unique_ptr<FrameLock> tryLockForFrame(FrameState* state);
  void render(const gl::DisplayLink::Frame& frame);
  // Composites onto `target` (bound, cleared), then draws the previews.
  void drawContent(const FrameState& state, gl::RenderTarget& target,
                   image::ImageContext& imageContext);

 private:
  void releaseFrameLock(FrameLock& lock);
  void updateCanvasToWindowTransform();  // under stateMutex_
  std::vector<LayerPtr> frameLayers() const;
  void tapPass();
  void compositeWithFilters(const FrameState& state, gl::RenderTarget& target,
                            image::ImageContext& imageContext);
  void compositeWithGL(gl::RenderTarget& target);
  image::Image compositeLayer(CompositorLayer& layer, const image::Image& below,
                              const FrameState& state, int* rotation);
  image::Image compositeThroughComposition(CompositorLayer& layer, const image::Image& layerImage,
                                           float opacity, const image::Image& below,
                                           const FrameState& state, int* rotation);
  void drawPreviews();
  QStringList folders(const QString& name) const;

  Environment environment_;
  std::unique_ptr<QKTapManager> tapManager_;
  UniqueIDCounter uniqueIDs_;
  bool eightBit_ = false;

  mutable std::mutex renderLock_;
  // Under renderLock_ (written by the main thread holding lockForRender):
  std::vector<LayerPtr> layers_;
  std::vector<FrameDrawer*> previewWindows_;
  CaptureRenderer* capture_ = nullptr;
  FrameDrawer* mediaInspector_ = nullptr;
  bool recording_ = false;

  mutable std::mutex stateMutex_;  // guards the canvas state
  QSizeF displaySize_;
  QSizeF canvasSize_;
  long presentationMode_ = 0;
  QTransform canvasToWindow_;
  int contentsRenderingMode_ = 1;

  BufferSetPool pool_;
  RestoreGate gate_;

  CompModeLists compModes_;
  std::unique_ptr<QMenu> compModeMenu_;
  SourceFolderTable fontSynth_;
  SourceFolderTable imageSources_;
  std::map<QString, SourceFactory> sourceClasses_;
  QKFileLoaderInterface* fileLoader_ = nullptr;
  NotificationObservers observers_;
  std::atomic<MasterClockInterface*> masterClock_{nullptr};
};

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

#include <QImage>
#include <QMenu>
#include <QSizeF>
#include <QTransform>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

class CaptureRenderer;
class CIFilterListController;
class CompositorLayer;
class DataSourceController;
class FrameDrawer;
class Layer;
class FXObject;
class LayerChainInterface;
class LayerChainManager;
class LayerListInterface;
class LayerWindowController;
class VidSourceObject;
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
  // Makes the source of a class key for a layer (a kind without one gets
  // the base source, which shows nothing).
  using SourceFactory =
      std::function<std::shared_ptr<VidSourceObject>(const QString& classKey, Layer& layer)>;
  using ChainFactory = std::function<std::unique_ptr<LayerChainInterface>(Layer& layer)>;
  using WindowFactory = std::function<std::unique_ptr<LayerWindowController>(Compositor&)>;

  // What the creation reads from the system; tests give their own.
  struct Environment {
    QStringList gpuVendors{};
    QStringList compositeFilterNames{};  // in the registry's order
    // Read from the registry once the program's own filters are in it.
    bool compositeFiltersFromRegistry = false;
    std::function<QString(const QString&)> localizedFilterName{};
    QString applicationFolder{};  // the folder holding qcCompModes etc. ("/" at the end)
    QString userFolder{};         // "QCUserDirectoryPath", tilde-expanded; empty when unset
    std::function<bool(const QString&)> isValidCompMode{};
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
  // Answered before the post returns: the object, a CompositorClient, gets
  // setCompositor.
  static const QString kFinderNotification;  // "QKCompositorFinderNotification"
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
  // The user's composition folder (tilde expanded; empty: none) that the
  // scans above search besides the shipped one.
  void setUserFolder(const QString& folder) { environment_.userFolder = folder; }
  const QString& userFolder() const { return environment_.userFolder; }
  // Registers the program's own filters with the filter registry.
  static void loadCustomFilters();
  void setContentsRenderingMode(int mode);
  // For a caller holding the render lock.
  void unlockedSetContentsRenderingMode(int mode);
  int contentsRenderingMode() const;

  const QStringList& compFilterHumanNameArray() const { return compModes_.humanNames; }
  const QStringList& compFilterNameArray() const { return compModes_.names; }
  const CompModeLists& compModeLists() const { return compModes_; }
  QMenu* compModeMenu() const { return compModeMenu_.get(); }
  const SourceFolderTable& fontSynthTable() const { return fontSynth_; }
  const SourceFolderTable& imageSourceTable() const { return imageSources_; }
  bool workingFormatIs8Bit() const { return eightBit_; }
  QKTapManager* tapManager() const { return tapManager_.get(); }
  // Icons of a group's tab, of a layer showing a tap or the video input,
  // and of a recording in the media bin; null when the resource is missing.
  const QImage& layerTabGroupImage() const { return layerTabGroupImage_; }
  const QImage& layerTabTapImage() const { return layerTabTapImage_; }
  const QImage& layerTabVideoInputImage() const { return layerTabVideoInputImage_; }
  const QImage& recordingFileImage() const { return recordingFileImage_; }
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
  // The project file's path comes from the preset manager (main thread).
  QString projectSavePath() override { return projectSavePath_ ? projectSavePath_() : QString(); }
  void setProjectSavePathSource(std::function<QString()> source) {
    projectSavePath_ = std::move(source);
  }
  // Any thread: the master clock's beats per measure, 4 without a clock.
  int beatsPerMeasure() override {
    MasterClockInterface* clock = masterClock_.load();
    return clock ? clock->beatsPerMeasure() : 4;
  }
  void setMasterClock(MasterClockInterface* clock) { masterClock_.store(clock); }
  MasterClockInterface* masterClock() const { return masterClock_.load(); }

  // --- Collaborators (main thread) ----------------------------------------------
  void setDataSourceController(DataSourceController* dsc) { dataSourceController_ = dsc; }
  DataSourceController* dataSourceController() const { return dataSourceController_; }
  // Layers made later get their effect chain from it (none: images pass).
  void setLayerChainFactory(ChainFactory factory) { chainFactory_ = std::move(factory); }
  // The one manager of the layers' chain presets (awake loads them).
  void setChainManager(std::shared_ptr<LayerChainManager> manager);
  LayerChainManager* chainManager() const { return chainManager_.get(); }
  std::unique_ptr<LayerChainInterface> makeLayerChain(Layer& layer);
  void setLayerWindowFactory(WindowFactory factory) { windowFactory_ = std::move(factory); }
  // Makers of the two kinds of layer effect by name, with the rectangle
  // they render at; null when the effect cannot be made.
  using EffectFactory =
      std::function<std::shared_ptr<FXObject>(const QString& name, const QRectF& activeRect)>;
  void setEffectFactories(EffectFactory filter, EffectFactory composition) {
    filterEffectFactory_ = std::move(filter);
    compositionEffectFactory_ = std::move(composition);
  }
  // A new filter effect (a composition effect) of that name, at the output
  // view's size, in no chain yet; null without a factory or when it cannot
  // be made.
  std::shared_ptr<FXObject> createCIFXLoaderInstanceNamed(const QString& name) const;
  std::shared_ptr<FXObject> createQCFXLoaderInstanceNamed(const QString& name) const;
  // The layer list (not owned; null: none).
  void setLayerView(LayerListInterface* view) { layerView_ = view; }
  // Whether a fullscreen output would hide a modal alert (the output view
  // answers; none: NO).
  void setModalHiddenTest(std::function<bool()> test) { modalHiddenTest_ = std::move(test); }
  bool willFullscreenHideAModal() const { return modalHiddenTest_ && modalHiddenTest_(); }
  LayerListInterface* layerView() const { return layerView_; }
  // Makes the effects browser (once; later calls answer the same one) and
  // wakes it. Made after the chain manager, whose element type its drags
  // carry.
  CIFilterListController* makeFilterListController();
  CIFilterListController* filterListController() const { return filterListController_.get(); }
  // The effect folders may have changed: the browser reads them again.
  void refreshQCFXLists();
  // Called with true once the render lock is taken by the layer-set
  // editing and with false just before it is let go (tests).
  void setRenderLockObserver(std::function<void(bool)> observer) {
    renderLockObserver_ = std::move(observer);
  }

  // --- Layer-set editing (main thread) ----------------------------------------------
  // A layer and its objects are made and torn down outside the render lock;
  // the lock covers only the change of the tree. The last reference to a
  // deleted layer goes on the main thread.
  std::shared_ptr<Layer> createNewLayer();
  // Groups the layer list's selection (nothing selected: nothing happens).
  std::shared_ptr<Layer> groupSelectedLayers();
  std::shared_ptr<Layer> groupLayers(std::vector<Layer*> layers);
  void deleteSelectedLayers();
  // A layer in a window is deleted through that window, which closes when
  // left empty.
  void deleteThisLayer(Layer* layer);
  // The caller holds the render lock and a reference to the layer, which
  // it lets go once the lock is released.
  void unlockedDeleteThisLayer(Layer* layer);
  void deleteAllLayers();
  // The window goes on a later pass of the event loop (its caller may be
  // on the stack).
  void deleteThisWindow(LayerWindowController* window);
  // A new, empty layer window from the factory, listed with the others (null
  // without a factory).
  LayerWindowController* makeLayerWindow();
  // Into `destination` (null: the top level) at `index` (clamped), in the
  // order given. A move into a moved group's own subtree is refused (false).
  bool moveTheseLayers(const std::vector<Layer*>& layers, int index, Layer* destination);
  Layer* findLayerByUniqueID(long id) const;
  Layer* findLayerByName(const QString& name) const;
  bool containsLayer(const Layer* layer) const;
  bool isLayerNameUsed(const QString& name) const;
  // The first of format(1), format(2) … that no layer bears ("%1" stands
  // for the number).
  QString freeName(const QString& format) const;
  // Main thread: the top-level layers that are `Layer`s (index 0 on top).
  std::vector<std::shared_ptr<Layer>> topLevelLayers() const;
  std::shared_ptr<Layer> sharedLayer(const Layer* layer) const;
  const std::vector<std::unique_ptr<LayerWindowController>>& layerWindowArray() const {
    return layerWindows_;
  }
  void reloadOrderedLayerIndices();
  void updateLayerView();
  // The render lock alone, taken by spinning; for the layers' own edits.
  void spinRenderLock();
  void unlockRenderLock();
  // The caller holds the render lock: `layer` leaves the top level and
  // `replacements` take its place in their order.
  void unlockedReplaceTopLevel(const Layer* layer,
                               const std::vector<std::shared_ptr<Layer>>& replacements);

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
  QSizeF canvasSize() const;
  QSizeF displaySize() const;
  long canvasPresentationMode() const;
  void layerSizeChangedFrom(QSizeF from, QSizeF to) { pool_.layerSizeChanged(from, to); }
  const BufferSetPool& bufferPool() const { return pool_; }
  QTransform canvasToWindowTransform() const;

  // --- Restores (main thread) ------------------------------------------------------
  RestoreGate& restoreGate() { return gate_; }
  bool restoringPreset() const { return gate_.restoring(); }
  // {"layerSnapArray", "contentsRenderingMode", "layerWindSnapArray"}.
  QVariantMap createSnapshot() const;
  // The differential restore: layers and groups are matched by name; what
  // is in both keeps its object, surplus layers take the missing names or
  // go, the rest is made. The tree, the windows, each layer's settings and
  // sources change under the render lock, the chains under the restore
  // gate. A snapshot without a "layerSnapArray" array changes nothing
  // (false, logged).
  bool loadSnapshot(const QVariantMap& snapshot);
  // Layer name → effect-chain snapshot, of every layer.
  QVariantMap createLayerFXSnapshot() const;
  // Every layer named in it loads its chain, under the restore gate.
  void matchThisLayerFXSnapshot(const QVariantMap& snapshot);
  QVariantMap createLayerFXShortcutSnapshot() const;
  // Nothing for anything but a dictionary.
  void matchThisLayerFXShortcutSnapshot(const QVariant& snapshot);
  // Every layer forgets its shortcut to the preset (the preset is gone).
  void clearShortcutsForFXChainNamed(const QString& name);

  // --- Frame (render thread) --------------------------------------------------------
  // Every lock of the frame, or null (nothing held) when one is busy.
  std::unique_ptr<FrameLock> tryLockForFrame(FrameState* state);
  void render(const gl::DisplayLink::Frame& frame);
  // Composites onto `target` (bound, cleared), then draws the previews.
  void drawContent(const FrameState& state, gl::RenderTarget& target,
                   image::ImageContext& imageContext);
  // The steps of drawContent in GL mode, for a view that draws the layers
  // straight into its window: the tap pass (on the main context), the
  // layers onto the drawable current on `context`, then the previews.
  void tapPass();
  void compositeWithGL(gl::GLContext& context);
  void drawPreviews();

 private:
  void loadIcons();
  void releaseFrameLock(FrameLock& lock);
  void updateCanvasToWindowTransform();  // under stateMutex_
  std::vector<LayerPtr> frameLayers() const;
  void compositeWithFilters(const FrameState& state, gl::RenderTarget& target,
                            image::ImageContext& imageContext);
  image::Image compositeLayer(CompositorLayer& layer, const image::Image& below,
                              const FrameState& state, int* rotation);

 public:
  // The buffer a comp-mode composition renders into next.
  using NextBuffer = std::function<gl::TextureHandle()>;
  // `layerImage` at `opacity` onto `below` (null: nothing yet) by the
  // layer's comp rendering mode: through its opacity filter and comp
  // filter (the lowest skips the comp filter), or its comp-mode
  // composition (the lowest gets a transparent background of `size`).
  // Used for the canvas and for a filter-mode group.
  static image::Image compositeLayerImage(CompositorLayer& layer, const image::Image& layerImage,
                                          float opacity, const image::Image& below, QSizeF size,
                                          const NextBuffer& nextBuffer);

 private:
  static image::Image compositeThroughComposition(CompositorLayer& layer,
                                                  const image::Image& layerImage, float opacity,
                                                  const image::Image& below, QSizeF size,
                                                  const NextBuffer& nextBuffer);
  QStringList folders(const QString& name) const;
  // Numbers the layers (render lock held); the size controllers publish
  // their rectangles afterwards, outside the lock.
  void renumberLayers();
  void republishLayerRects();
  LayerWindowController* windowForNewLayer();
  // The windows not on their way out, in order.
  std::vector<LayerWindowController*> usableWindows() const;
  std::vector<std::shared_ptr<Layer>> allLayers() const;
  struct Restore;
  void resolveCreation(QStringList create, QStringList remove, bool groups, Restore& restore);
  void rebuildTree(Restore& restore);
  void arrangeWindows(const QVariantList& windowSnapshots, Restore& restore);
  std::shared_ptr<Layer> removeFromParent(Layer* layer);
  void insertInto(Layer* parent, int index, const std::shared_ptr<Layer>& layer);

  Environment environment_;
  std::unique_ptr<QKTapManager> tapManager_;
  UniqueIDCounter uniqueIDs_;
  bool eightBit_ = false;
  QImage layerTabGroupImage_;
  QImage layerTabTapImage_;
  QImage layerTabVideoInputImage_;
  QImage recordingFileImage_;

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
  std::function<QString()> projectSavePath_;
  QKFileLoaderInterface* fileLoader_ = nullptr;
  NotificationObservers observers_;
  std::atomic<MasterClockInterface*> masterClock_{nullptr};

  DataSourceController* dataSourceController_ = nullptr;
  ChainFactory chainFactory_;
  std::shared_ptr<LayerChainManager> chainManager_;
  WindowFactory windowFactory_;
  LayerListInterface* layerView_ = nullptr;
  std::function<bool()> modalHiddenTest_;
  EffectFactory filterEffectFactory_;
  EffectFactory compositionEffectFactory_;
  std::function<void(bool)> renderLockObserver_;
  std::vector<std::unique_ptr<LayerWindowController>> layerWindows_;
  std::set<LayerWindowController*> retiringWindows_;  // deletion posted
  std::unique_ptr<CIFilterListController> filterListController_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

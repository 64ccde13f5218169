#pragma once

#include "app/compositor/CompositorLayer.h"
#include "framework/controls/LocalPresetOwner.h"
#include "platform/gl/GLContext.h"
#include "platform/foundation/CutLink.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/gl/TextureHandle.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class Compositor;
class DataSource;
class LayerChainInterface;
class LayerCompContext;
class LayerFXShortcuts;
class LayerSizeController;
class LayerWindowController;
class QKButton;
class QKFile;
class QKButtonCell;
class QKCIGLContext;
class QKGLContext;
class QKLocalPresetView;
class QKSTap;
class QKSliderControl;
class VidSourceObject;
namespace image {
class Filter;
}

// One entry of the compositor's stack: a plain layer showing one of its
// five sources through its effect chain, or a group (`groupFlag`) whose
// members are layers and groups. Every layer owns one source of each kind,
// an effect chain, a send tap named after it, an opacity slider and
// button with the data source "Layer Opacities/<name>", its comp objects
// (a comp filter, a comp-mode composition and GL blend factors) and a size
// controller.
//
// The tree: a top-level layer's parent is the compositor (`parentLayer` is
// null); a group's `layerArray` holds its members, index 0 on top. The
// tree is changed on the main thread with the compositor's render lock
// held; the frame walks it under the same lock.
//
// Threads: made, changed and destroyed on the main thread (never on the
// render thread: the compositor and the frame keep the last reference on
// the main thread). The frame's calls (lockForRender … unlockRender) run
// on the render thread with the compositor's render lock held. The
// opacity, the size and position, the rectangles and the transform may be
// set on the main, tick or MIDI threads: the frame works on copies taken
// when it locks the layer (`renderAlphaVal` and the frame geometry). The
// name, depth and ordered index are safe to read from any thread (the tap
// manager asks them).
//
// Lock order: compositor render lock, this layer's `renderLock`, its
// chain's lock, then the members' locks depth first.
class Layer : public CompositorLayer, public LocalPresetOwner {
 public:
  using Ptr = std::shared_ptr<Layer>;

  static const QString kCreateNotification;          // "QKLayerCreateNotification"
  static const QString kDeleteNotification;          // "QKLayerDeleteNotification"
  static const QString kNameChangeNotification;      // "QKLayerNameChangeNotification"
  static const QString kSourceChangeNotification;    // "QKLayerSourceChangeNotification"
  static const QString kCompModeChangeNotification;  // "QKLayerCompModeChangeNotification"
  static const QString kBoundsChangedNotification;   // "QKLayerBoundsChangedNotification"
  // User info "newFile" and, when one played before, "oldFile"
  // (std::shared_ptr<QKFile>).
  static const QString kTriggerFileNotification;  // "QKLayerTriggerFileNotification"
  static const QString kOpacitiesHolder;             // "Layer Opacities"
  // Source names of useSourceNamed.
  static const QString kMovie, kQCPatch, kVideoTap, kImage, kWeb, kNil;
  static constexpr GLenum kAddFactor = 0x0304;   // GL_DST_ALPHA: "OpenGL Add"
  static constexpr GLenum kOverFactor = 0x0303;  // GL_ONE_MINUS_SRC_ALPHA: "OpenGL Over"

  // Main thread. Builds the whole layer (sources, chain, controls, data
  // source); posts "QKLayerCreateNotification".
  static Ptr create(const QString& name, Compositor* compositor, LayerWindowController* window);
  ~Layer() override;
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;
  QString description() const;

  // --- LayerInterface -------------------------------------------------------------------
  QString layerName() const override;
  QSizeF layerSize() const override;
  int depth() const override { return depth_.load(); }
  int orderedLayerIndex() const override { return orderedIndex_.load(); }
  long uniqueID() const { return uniqueID_; }

  // --- Opacity (main thread, or a data source's thread) --------------------------------------
  void alphaSliderUsed();
  void alphaButtonUsed();
  float alphaVal() const { return alphaVal_.load(); }
  float renderAlphaVal() const override { return renderAlphaVal_; }
  QKSliderControl* alphaSlider() const;
  QKButton* alphaButton() const;
  QKLocalPresetView* localPresetView() const;

  // --- Effects (main thread): each appends one at the end of the chain -----------------------
  bool addQCFXFromPath(const QString& path);
  bool addQCFXNamed(const QString& name);
  bool addCIFXNamed(const QString& name);
  LayerChainInterface* fxChain() const { return chain_.get(); }

  // --- Comp and rendering modes ------------------------------------------------------------------
  // Spin on the layer's lock; the unlocked forms are for a caller holding it.
  void useCompModeNamed(const QString& name);
  void unlockedUseCompModeNamed(const QString& name);
  void useQCCompModeNamed(const QString& name);
  void unlockedUseQCCompModeNamed(const QString& name);
  // The filter name asked for last (kept when no filter of that name exists).
  QString compFilterName() const;
  void setSFactor(GLenum factor) { sFactor_.store(factor); }
  void setDFactor(GLenum factor);
  GLenum sFactor() const { return sFactor_.load(); }
  GLenum dFactor() const { return dFactor_.load(); }
  // Modes other than 0 and 1 are refused (false, logged).
  bool setContentsRenderingMode(int mode);
  void setGroupRenderingMode(int mode) override;
  bool setCompRenderingMode(int mode);
  int contentsRenderingMode() const { return contentsMode_.load(); }
  int groupRenderingMode() const { return groupMode_.load(); }
  int compRenderingMode() const override { return compMode_.load(); }
  // Null clears the name and posts nothing.
  void setCompName(const std::optional<QString>& name);
  std::optional<QString> compName() const;
  image::Filter* alphaFilter() override { return alphaFilter_.get(); }
  image::Filter* ciCompFilter() override { return ciCompFilter_.get(); }
  CompModeContext* qcCompContext() override;

  // --- Tree (main thread, render lock held for changes) ---------------------------------------
  void addThisLayer(const Ptr& layer);
  void addThisLayer(const Ptr& layer, int index);
  // Deletes `layer` from this subtree: a deleted group hands its members to
  // its own parent in its place.
  bool deleteThisLayer(Layer* layer);
  // Takes a member out (null when it is none).
  Ptr removeChild(const Layer* layer);
  bool isThisMyChild(const Layer* layer) const;
  bool containsThisLayer(const Layer* layer) const;
  bool containsLayer(const Layer* layer) const;
  Layer* findLayerByUniqueID(long id);
  Layer* findLayerByName(const QString& name);
  bool checkForName(const QString& name) const;
  int returnNumberOfSublayersInWindow() const;
  const std::vector<Ptr>& layerArray() const { return children_; }
  // Null for a top-level layer (the compositor is its parent).
  Layer* parentLayer() const { return parent_; }
  void setParentLayer(Layer* parent) { parent_ = parent; }
  bool isTopLevel() const { return parent_ == nullptr; }
  Compositor* compositor() const { return compositor_; }
  // The parent's contents mode (the compositor's at the top level).
  int parentContentsRenderingMode() const;

  bool groupFlag() const { return groupFlag_.load(); }
  void setGroupFlag(bool flag);
  // False (logged for an empty one) when the name is empty or used by any
  // layer of the compositor.
  bool setLayerName(const QString& name);

  void addToThisWindow(LayerWindowController* window);
  void removeFromParentWindow();
  LayerWindowController* parentWindow() const { return parentWindow_; }
  void setParentWindow(LayerWindowController* window) { parentWindow_ = window; }

  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }

  // --- Sources -----------------------------------------------------------------------------------
  // Main thread, render lock held (or the layer not in the tree). An
  // unknown name is refused (logged) and changes nothing.
  void useSourceNamed(const QString& name);
  // Picks the source for the file's kind and loads the file there; the
  // caller holds the compositor's render lock. A null file changes only the
  // effect chain's file path.
  void triggerFile(const std::shared_ptr<QKFile>& file);
  // The same for a caller without the render lock (the media bin); also
  // refuses a composition that takes a video input, with a warning.
  void unlockedTriggerFile(const std::shared_ptr<QKFile>& file);
  // The name of the source a file of this kind plays in on this layer
  // (empty: no source plays it).
  QString sourceNameForFile(const QKFile& file) const;
  void updateFXChainFilePath();
  // NO unless the tap source is current and binds.
  bool useTapNamed(const QString& name);
  // Whether the chain of tapped layers from this one reaches the tap
  // `name` (the tap-loop test).
  bool checkForSourceNamed(const QString& name) const;
  // The picture for the layer tab (null: none).
  QImage layerThumb() const;
  void fxChainModified();
  QString currentSourceAsString() const;
  VidSourceObject* currentSource() const { return current_.load(); }
  VidSourceObject* sourceOfKind(const QString& classKey) const;
  // Main thread: refreshes the layer window after a source change.
  void displayGeneralSource();

  // --- Frame (render thread, compositor render lock held) ---------------------------------------
  void lockForRender() override;
  bool tryLockForRender() override;
  void unlockRender() override;
  bool needsToBeProcessed() const;
  void render(const gl::DisplayLink::Frame& frame) override;
  void drawToBuffer() override;
  void drawGLContent() override;
  image::Image drawAndGetCIContentForCanvas() override;
  // The layer's finished image of the frame.
  const gl::TextureHandle& postFXTextureRef() const { return postFX_; }
  const gl::TextureHandle& pBufferARef() const { return bufferA_; }
  const gl::TextureHandle& altABufferRef() const { return altA_; }
  const gl::TextureHandle& pBufferBRef() const { return bufferB_; }
  // How often the buffers were made (render thread).
  int bufferGeneration() const { return bufferGeneration_; }

  // --- Size and position
  // -------------------------------------------------------------------------- Clamps a size that
  // is zero, negative, not finite or beyond the largest texture.
  void setLayerSize(QSizeF size);
  void canvasSizeChanged(QSizeF size) override;
  void setCanvasActiveRect(const QRectF& rect);
  QRectF canvasActiveRect() const;
  void setWindowActiveRect(const QRectF& rect);
  QRectF windowActiveRect() const;
  QTransform canvasPositionTransform() const;
  void setDisplaySize(QSizeF size) override;
  void setCanvasPresentationMode(long mode) override;
  LayerSizeController* layerSizeController() const { return sizeController_.get(); }
  // Where a window gives the borrowed controls back.
  QWidget* controlHolder() const { return controlHolder_.get(); }
  // Numbers the layer and its members depth first; answers the next index.
  // With `recompute` the size controller publishes its rectangles again.
  int setOrderedLayerIndex(int index, int depth, bool recompute = true);
  void recomputeRects();

  // Main thread: the movie source's idle step.
  void idleCallback() override;

  QKSTap* sTap() const { return sTap_.get(); }

  // --- Snapshots (main thread) --------------------------------------------------------------
  // The whole persistent state; a group's holds its members'.
  QVariantMap createSnapshot() const;
  // The three phases of a restore, each for this layer alone. The first two
  // run with the compositor's render lock held; the chain's with no lock
  // held, while the compositor's restore gate keeps frames off.
  void loadMiscellaneaFromSnapshot(const QVariantMap& snapshot);
  void loadSourceFromSnapshot(const QVariantMap& snapshot);
  void loadChainFromSnapshot(const QVariant& chainSnapshot);
  // Layer name → effect-chain snapshot, of this layer and every layer below.
  QVariantMap createLayerFXSnapshot() const;
  // Every layer of the subtree named in the dictionary loads its entry; the
  // caller keeps frames off (the compositor's restore gate).
  void matchThisLayerFXSnapshot(const QVariantMap& snapshot);
  // Layer name → (preset name → shortcut entry), of the subtree.
  QVariantMap createLayerFXShortcutSnapshot() const;
  void matchThisLayerFXShortcutSnapshot(const QVariantMap& snapshot);
  // The local preset strip's state: the effect snapshot of the subtree,
  // recalled whole under the restore gate.
  QVariantMap createLocalSnapshot() override;
  void loadLocalSnapshot(const QVariantMap& snapshot) override;

  // --- Chain presets and their shortcuts (main thread) --------------------------------------
  // Loads the compositor's chain preset of that name into the chain; a
  // name without a preset changes nothing (logged).
  void useFXChainPresetNamed(const QString& name);
  QString shortcutStringForFXChainPresetNamed(const QString& name) const;
  void startDetectForFXChainShortcutNamed(const QString& name);
  void clearShortcutForFXChainNamed(const QString& name);
  void cancelDetect();
  LayerFXShortcuts& fxShortcuts() const { return *shortcuts_; }

 private:
  struct Geometry {
    QSizeF layerSize;
    QRectF canvasActiveRect;
    QRectF windowActiveRect;
    QTransform canvasPositionTransform;
    int sizeMode = 0;
  };
  class CallTarget;

  Layer(const QString& name, Compositor* compositor, LayerWindowController* window);
  void awake();
  void loadSources();
  void makeOpacityControls();
  void makeOpacityDataSource();
  void takeFrameCopies();
  void lockSpin();
  bool hasContent() const;
  void remakeBuffers();
  void drawCIGroupToBuffer();
  void drawGLGroupToBuffer();
  void finishWithChain(const std::shared_ptr<class MutableTextureObject>& object,
                       const std::shared_ptr<class QKRTapStub>& stub);
  std::vector<Ptr>* parentArray() const;
  void rename(const QString& name);
  QString glCompName(GLenum factor) const;
  QString compositionName() const;
  QString filterDisplayName() const;
  void setOpacityMirror(float value);
  void fileFolderDeleted(const Notification& notification);
  bool checkForSourceNamed(const QString& name, std::vector<const Layer*>& visited) const;
  QImage layerThumb(std::vector<const Layer*>& visited) const;
  void checkVideoInput();
  void observeDeletedFiles(bool observe);

  const long uniqueID_;
  Compositor* const compositor_;
  std::mutex renderLock_;

  mutable std::mutex nameMutex_;  // guards name_, compName_, compFilterName_
  QString name_;
  std::optional<QString> compName_;
  QString compFilterName_;
  std::atomic<int> depth_{0};
  std::atomic<int> orderedIndex_{0};

  // Tree and window (main thread; changes under the compositor's render lock).
  Layer* parent_ = nullptr;
  std::vector<Ptr> children_;
  std::atomic<bool> groupFlag_{false};
  LayerWindowController* parentWindow_ = nullptr;
  std::atomic<bool> deleted_{false};
  // What reaches the layer from other threads and later calls; cut before
  // the layer goes.
  std::shared_ptr<CutLink<Layer>> link_;

  // Opacity.
  std::atomic<float> alphaVal_{1.0f};
  float renderAlphaVal_ = 1.0f;  // render thread, fixed at lock
  // Holds the layer's controls while no window shows them (never shown).
  std::unique_ptr<QWidget> controlHolder_;
  QPointer<QKSliderControl> alphaSlider_;
  QPointer<QKButton> alphaButton_;
  QPointer<QKLocalPresetView> localPresetView_;
  std::shared_ptr<CallTarget> opacityTarget_;
  std::shared_ptr<CallTarget> moviePosTarget_;

  // Comp objects: swapped under renderLock_.
  std::shared_ptr<image::Filter> alphaFilter_;
  std::shared_ptr<image::Filter> ciCompFilter_;
  std::unique_ptr<LayerCompContext> qcCompContext_;
  std::atomic<GLenum> sFactor_{0x0302};
  std::atomic<GLenum> dFactor_{kAddFactor};
  std::atomic<int> contentsMode_{1};
  std::atomic<int> groupMode_{1};
  std::atomic<int> compMode_{0};

  // Sources: one of each kind for the whole life of the layer.
  std::array<std::shared_ptr<VidSourceObject>, 5> sources_;
  std::atomic<VidSourceObject*> current_{nullptr};

  std::unique_ptr<LayerChainInterface> chain_;
  std::unique_ptr<LayerFXShortcuts> shortcuts_;
  std::shared_ptr<QKSTap> sTap_;
  std::unique_ptr<LayerSizeController> sizeController_;

  mutable std::mutex geometryMutex_;
  Geometry geometry_;  // under geometryMutex_

  // Render thread.
  Geometry frame_;
  std::atomic<bool> needsReshape_{true};
  bool initialized_ = false;
  // Main thread: set while loadSourceFromSnapshot runs (the compositor's
  // restore holds the render lock), when a source's trigger must not take it.
  bool loadingSourceUnderRenderLock_ = false;
  int bufferGeneration_ = 0;
  gl::TextureHandle bufferA_, altA_, bufferB_;
  gl::TextureHandle groupTexture_;
  gl::TextureHandle postFX_;
  std::shared_ptr<QKGLContext> groupGLContext_;
  std::shared_ptr<QKCIGLContext> groupCIContext_;

  NotificationObservers observers_;
  NotificationObservers fileObservers_;
};

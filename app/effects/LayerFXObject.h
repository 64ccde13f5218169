#pragma once

#include "framework/fx/FXObject.h"

#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>

class CompModeLists;
class LayerFXHost;
class LayerFXMixer;
class LayerFXObjectPanel;
class LayerFXRenderContext;
class MutableTextureObject;
class QKSliderCell;

// One effect of a layer's chain: it draws its effect of the image passed
// through the chain, mixes it with that image by its wet/dry amount through
// its mixer, and hands the result on. The last active effect writes into
// the layer's own buffer; the others write into the shared buffer A and
// rotate the buffers, so nothing is allocated per frame.
//
// Its controls are its On/Off button (the element's bypass), its wet/dry
// slider (a QKSliderCell named "wet/dry", 1.0 at first) and the mix mode,
// chosen among the compositor's comp modes.
//
// Threads: made, set up, restored and edited on the main thread; rendered on
// the render thread under the chain's lock and its own render lock (a
// blocking mutex also held while the contexts are made and the mix mode
// switched). The wet/dry amount, bypass, deleted and awake flags are atomics
// the render thread reads without a lock.
class LayerFXObject : public FXObject {
 public:
  static const QString kEnableDefaultKey;  // "FXEnableDefault"
  // Snapshot keys.
  static const QString kAttributeLoaderKey;  // "attributeLoader"
  static const QString kBypassToggleKey;     // "theEffectBypassToggle"
  static const QString kWetDrySliderKey;     // "wetDrySlider"
  static const QString kCollapsedFlagKey;    // "collapsedFlag"
  static const QString kWetDryContextKey;    // "wetDryContext"
  static constexpr double kCollapsedHeight = 35.0;

  // `filterName`: what the effect is made from; `displayName`: its title.
  LayerFXObject(const QString& filterName, const QString& displayName, QSizeF renderSize);
  ~LayerFXObject() override;

  // The set-up: the base's, the wet/dry slider, "FXEnableDefault", the
  // contexts (`makeContexts`), then awake.
  void awakeFromNib() override;

  QString filterName() const { return filterName_; }
  QSizeF renderSize() const;
  QRectF activeRectValue() const { return QRectF(QPointF(0, 0), renderSize()); }
  void setActiveRect(const QRectF& rect);

  // --- Rendering (render thread) -----------------------------------------
  void processPassedPtr(void* passed) override;
  void render(MutableTextureObject& passed);
  // The slider's value (an atomic read), 0 before the set-up.
  float wetDrySliderValue() const;
  const std::shared_ptr<QKSliderCell>& wetDrySlider() const { return wetDrySlider_; }
  bool awake() const { return awake_.load(); }

  // Not bypassed, not deleted, wet/dry not 0.
  bool isActive() const;
  bool lastActiveObjectInChain() const;
  bool firstActiveObjectInChain() const;

  // --- Mix mode (main thread) --------------------------------------------
  // Applies the comp mode at `index` of the compositor's lists.
  void compButtonUsed(int index);
  // The index of the mixer's mode in the compositor's lists; -1 (logged)
  // when the lists do not hold it.
  int updateCompButton() const;
  // The value the lists hold for the mixer's mode.
  static QString compValueFor(const LayerFXMixer& mixer);
  // The compositor's comp-mode lists, which the mix-mode pop-up shows.
  CompModeLists mixModeLists() const;

  // The effect's panel, made at the first call and owned by the effect
  // (main thread).
  LayerFXObjectPanel* panel();
  QWidget* myPanel() const override;
  // The dragged-effect archive with this effect's settings; empty for a
  // missing effect, which is moved instead.
  QByteArray copyDragData() const override;

  std::optional<QVariantMap> createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void collapse() override;
  void expand() override;
  void tellMyChainToDeleteMe() override;
  void prepareToBeDeleted() override;

  // An effect kept for one that could not be made: it passes the image on
  // unchanged and gives back the snapshot it was restored from.
  virtual bool isMissing() const { return false; }

  LayerFXRenderContext* renderContext() const { return context_.get(); }
  LayerFXMixer* mixer() const { return mixer_.get(); }
  // Replaces the contexts (main thread; tests give their own).
  void setContexts(std::shared_ptr<LayerFXRenderContext> context,
                   std::shared_ptr<LayerFXMixer> mixer);

  void lockForRender() { renderLock_.lock(); }
  void unlockRender() { renderLock_.unlock(); }

 protected:
  // The layer behind the chain; null outside a layer's chain.
  LayerFXHost* host() const;
  // Makes the kind's render context and the mixer (main thread).
  virtual void makeContexts() {}
  // Whether the kind can render at all (a composition needs its image input).
  virtual bool canRender() const { return true; }
  // The message when the chain has no layer.
  virtual const char* noLayerMessage() const { return "\t\terr: myLayer was nil"; }
  void setFilterName(const QString& name) { filterName_ = name; }

 private:
  void processUIElement(QKSliderCell& sender);
  void setCollapsed(bool collapsed);
  void releaseContexts();

  QString filterName_;
  QSizeF renderSize_;  // under renderLock_ while the render thread may read it
  std::shared_ptr<QKSliderCell> wetDrySlider_;
  std::atomic<float> wetDry_{0.0f};
  std::atomic<bool> awake_{false};
  std::mutex renderLock_;
  std::shared_ptr<LayerFXRenderContext> context_;
  std::shared_ptr<LayerFXMixer> mixer_;
  QPointer<LayerFXObjectPanel> panel_;
};

#pragma once

#include "app/compositor/Compositor.h"
#include "app/compositor/LayerChainInterface.h"
#include "app/effects/LayerFXChain.h"
#include "app/effects/LayerFXHost.h"

#include <memory>

class Layer;
class LayerChainManager;

// A layer's effect chain as the compositor's layers know it: a LayerFXChain
// whose host is the layer (its size, buffer B, source path) and its
// compositor (render lock, comp-mode lists). Made for every new layer by
// the factory the compositor is given.
class LayerFXChainAdapter : public LayerChainInterface, public LayerFXHost {
 public:
  // The factory for `Compositor::setLayerChainFactory`; its chains share
  // the manager, which it keeps alive.
  static Compositor::ChainFactory factory(std::shared_ptr<LayerChainManager> manager);
  // Gives the compositor its chain factory and its two effect factories.
  static void install(Compositor& compositor, std::shared_ptr<LayerChainManager> manager);

  LayerFXChainAdapter(Layer& layer, std::shared_ptr<LayerChainManager> manager);
  ~LayerFXChainAdapter() override;

  LayerFXChain& chain() { return chain_; }

  // --- LayerChainInterface ----------------------------------------------------
  void lockForRender() override { chain_.lockForRender(); }
  bool tryLockForRender() override { return chain_.tryLockForRender(); }
  void unlockRender() override { chain_.unlockRender(); }
  void passPtrThruChain(MutableTextureObject& object) override;
  bool appendEffect(EffectKind kind, const QString& name, const QRectF& activeRect) override;
  void setActiveRect(const QRectF& rect) override { chain_.setActiveRect(rect); }
  void setLayerFilePathForQCFX(const QString& path) override {
    chain_.setLayerFilePathForQCFX(path);
  }
  void prepareToBeDeleted() override { chain_.prepareToBeDeleted(); }
  QWidget* effectsView() override;
  void setParentScrollView(QAbstractScrollArea* scrollView) override {
    chain_.setParentScrollView(scrollView);
  }
  void resizeChain() override { chain_.resizeChain(); }
  QVariantList createSnapshot() const override { return chain_.createSnapshot(); }
  void loadSnapshot(const QVariant& snapshot) override { chain_.loadSnapshot(snapshot); }

  // --- LayerFXHost -------------------------------------------------------------
  QSizeF layerSize() const override;
  gl::TextureHandle pBufferBRef() const override;
  QString currentSourcePath() const override;
  void lockCompositorForRender() override;
  void unlockCompositorRender() override;
  QStringList compFilterNames() const override;
  QStringList compFilterKinds() const override;
  QStringList compFilterHumanNames() const override;
  bool willFullscreenHideAModal() const override;
  void fxChainModified() override;

 private:
  Layer& layer_;
  std::shared_ptr<LayerChainManager> manager_;  // outlives the chain
  LayerFXChain chain_;
};

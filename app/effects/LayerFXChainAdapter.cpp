#include "app/effects/LayerFXChainAdapter.h"

#include "app/compositor/Layer.h"
#include "app/effects/CIFXLoader.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/QCFXLoader.h"
#include "app/sources/VidSourceObject.h"

namespace {

// An effect made outside a layer asks only whether the output hides alerts.
class OutputOnlyHost : public LayerFXHost {
 public:
  explicit OutputOnlyHost(const Compositor& compositor) : compositor_(compositor) {}
  QSizeF layerSize() const override { return {}; }
  gl::TextureHandle pBufferBRef() const override { return {}; }
  QString currentSourcePath() const override { return {}; }
  void lockCompositorForRender() override {}
  void unlockCompositorRender() override {}
  bool willFullscreenHideAModal() const override { return compositor_.willFullscreenHideAModal(); }

 private:
  const Compositor& compositor_;
};

}  // namespace

Compositor::ChainFactory LayerFXChainAdapter::factory(std::shared_ptr<LayerChainManager> manager) {
  return [manager = std::move(manager)](Layer& layer) -> std::unique_ptr<LayerChainInterface> {
    return std::make_unique<LayerFXChainAdapter>(layer, manager);
  };
}

void LayerFXChainAdapter::install(Compositor& compositor,
                                  std::shared_ptr<LayerChainManager> manager) {
  compositor.setLayerChainFactory(factory(std::move(manager)));
  compositor.setEffectFactories(
      [](const QString& name, const QRectF& rect) -> std::shared_ptr<FXObject> {
        return CIFXLoader::create(name, rect);
      },
      [&compositor](const QString& name, const QRectF& rect) -> std::shared_ptr<FXObject> {
        OutputOnlyHost host(compositor);
        return QCFXLoader::create(name, rect, &host);
      });
}

LayerFXChainAdapter::LayerFXChainAdapter(Layer& layer, std::shared_ptr<LayerChainManager> manager)
    : layer_(layer), manager_(std::move(manager)), chain_(manager_.get()) {
  chain_.setHost(this);
}

LayerFXChainAdapter::~LayerFXChainAdapter() {
  chain_.prepareToBeDeleted();
  chain_.setHost(nullptr);
}

void LayerFXChainAdapter::passPtrThruChain(MutableTextureObject& object) {
  chain_.passPtrThruChain(&object);
}

bool LayerFXChainAdapter::appendEffect(EffectKind kind, const QString& name,
                                       const QRectF& activeRect) {
  const FXChain::Element effect =
      kind == EffectKind::Filter ? FXChain::Element(CIFXLoader::create(name, activeRect))
                                 : FXChain::Element(QCFXLoader::create(name, activeRect, this));
  if (!effect) return false;
  chain_.insertEffectObject(effect, static_cast<unsigned>(-1));
  return true;
}

QSizeF LayerFXChainAdapter::layerSize() const { return layer_.layerSize(); }

gl::TextureHandle LayerFXChainAdapter::pBufferBRef() const { return layer_.pBufferBRef(); }

QString LayerFXChainAdapter::currentSourcePath() const {
  VidSourceObject* source = layer_.currentSource();
  return source ? source->currentPath() : QString();
}

void LayerFXChainAdapter::lockCompositorForRender() { layer_.compositor()->spinRenderLock(); }

void LayerFXChainAdapter::unlockCompositorRender() { layer_.compositor()->unlockRenderLock(); }

QStringList LayerFXChainAdapter::compFilterNames() const {
  return layer_.compositor()->compModeLists().names;
}

QStringList LayerFXChainAdapter::compFilterKinds() const {
  return layer_.compositor()->compModeLists().tags;
}

QStringList LayerFXChainAdapter::compFilterHumanNames() const {
  return layer_.compositor()->compModeLists().humanNames;
}

QWidget* LayerFXChainAdapter::effectsView() { return chain_.myView(); }

void LayerFXChainAdapter::fxChainModified() { layer_.fxChainModified(); }

bool LayerFXChainAdapter::willFullscreenHideAModal() const {
  return layer_.compositor()->willFullscreenHideAModal();
}

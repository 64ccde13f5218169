#pragma once

#include <QRectF>
#include <QString>
#include <QVariant>
#include <QVariantList>

class MutableTextureObject;
class QAbstractScrollArea;
class QWidget;

// What a layer asks of its effect chain. The chain itself is made by the
// factory the compositor is given (`Compositor::setLayerChainFactory`); a
// layer without one passes its image through unchanged.
//
// Threads: the lock calls and `passPtrThruChain` on the render thread
// under the layer's lock (lockForRender also on the main thread); the rest
// on the main thread.
class LayerChainInterface {
 public:
  enum class EffectKind { Composition, Filter };

  virtual ~LayerChainInterface() = default;

  virtual void lockForRender() = 0;
  virtual bool tryLockForRender() = 0;
  virtual void unlockRender() = 0;
  // Every active effect renders over the texture object, in order.
  virtual void passPtrThruChain(MutableTextureObject& object) = 0;

  // Appends an effect made from a composition file name or a filter name
  // with the active rectangle (0, 0, layer size); false when it cannot be
  // made.
  virtual bool appendEffect(EffectKind kind, const QString& name, const QRectF& activeRect) = 0;
  // Every effect that has a render size gets the rectangle.
  virtual void setActiveRect(const QRectF& rect) = 0;
  virtual void setLayerFilePathForQCFX(const QString& path) = 0;
  virtual void prepareToBeDeleted() = 0;
  // The chain's controls for the layer panel, owned by the chain; null
  // when it has none.
  virtual QWidget* effectsView() { return nullptr; }
  // The scroll view that shows the chain's view, whose width and visible
  // height the chain lays its panels out to; and that layout.
  virtual void setParentScrollView(QAbstractScrollArea* scrollView) { (void)scrollView; }
  virtual void resizeChain() {}
  // How many effects the chain holds (the layer tab's "FX" badge).
  virtual int effectCount() const { return int(createSnapshot().size()); }

  // The chain's snapshot (one entry per effect, in order) and its
  // differential restore; the restore takes the chain's own lock and the
  // compositor's render lock for its edits, so the caller holds neither.
  virtual QVariantList createSnapshot() const = 0;
  virtual void loadSnapshot(const QVariant& snapshot) = 0;
};

#pragma once

#include "platform/gl/TextureHandle.h"

#include <QSizeF>
#include <QString>
#include <QStringList>

// What a layer's effect chain needs of its layer and compositor.
//
// Threads: `pBufferBRef` on the render thread while the layer renders; the
// rest on the main thread.
class LayerFXHost {
 public:
  virtual ~LayerFXHost() = default;

  virtual QSizeF layerSize() const = 0;
  // The layer's own buffer, where the last active effect writes.
  virtual gl::TextureHandle pBufferBRef() const = 0;
  // The path of the layer's current source file; empty without one.
  virtual QString currentSourcePath() const = 0;
  // The compositor's render lock, which holds every layer and chain.
  virtual void lockCompositorForRender() = 0;
  virtual void unlockCompositorRender() = 0;
  // Called after the chain changed, with no lock held.
  virtual void fxChainModified() {}
  // The compositor's comp-mode lists: the value of each item
  // (compFilterNameArray) and its kind (the items' tool tips).
  virtual QStringList compFilterNames() const { return {}; }
  virtual QStringList compFilterKinds() const { return {}; }
  // Their menu titles (compFilterHumanNameArray).
  virtual QStringList compFilterHumanNames() const { return {}; }
  // A fullscreen output would hide a modal alert.
  virtual bool willFullscreenHideAModal() const { return false; }
};

#pragma once

#include "framework/taps/LayerInterface.h"
#include "platform/gl/DisplayLink.h"
#include "platform/image/Image.h"

#include <QSizeF>

class CompModeContext;
namespace image {
class Filter;
}

// What the compositor asks of each top-level layer. The lock calls and the
// per-frame calls come from the render thread (lockForRender also from the
// main thread); the size calls and idleCallback from the main thread.
class CompositorLayer : public LayerInterface {
 public:
  // Comp rendering modes.
  static constexpr int kFilterComp = 0;
  static constexpr int kCompositionComp = 1;

  virtual void lockForRender() = 0;
  virtual bool tryLockForRender() = 0;
  virtual void unlockRender() = 0;

  virtual void render(const gl::DisplayLink::Frame& frame) = 0;
  // Renders the layer and its effect chain into its buffers now (tap pass).
  virtual void drawToBuffer() = 0;
  // The layer's current output placed in canvas coordinates; null when it
  // shows nothing.
  virtual image::Image drawAndGetCIContentForCanvas() = 0;
  virtual int compRenderingMode() const = 0;
  virtual float renderAlphaVal() const = 0;
  // Inputs "inputImage" and "alphaNumber".
  virtual image::Filter* alphaFilter() = 0;
  // Inputs "inputImage" and "inputBackgroundImage".
  virtual image::Filter* ciCompFilter() = 0;
  virtual CompModeContext* qcCompContext() = 0;
  // Draws onto the bound target with the layer's GL blend and opacity.
  virtual void drawGLContent() = 0;

  virtual void idleCallback() {}
  virtual void setGroupRenderingMode(int) {}
  virtual void setDisplaySize(QSizeF) {}
  virtual void setCanvasPresentationMode(long) {}
  virtual void canvasSizeChanged(QSizeF) {}
};

#pragma once

#include "platform/gl/TextureHandle.h"
#include "platform/image/Image.h"

#include <QStringList>

// The render context of a layer's comp-mode composition as the frame uses
// it: inputs "foreground", "background" and "opacity", rendered into a
// buffer of the canvas size.
class CompModeContext {
 public:
  virtual ~CompModeContext() = default;

  virtual bool hasRenderer() const = 0;
  // Renders once (making the renderer when there is none).
  virtual void render() = 0;
  virtual QStringList inputKeys() const = 0;
  virtual void setImageInput(const QString& key, const image::Image& image) = 0;
  virtual void setNumberInput(const QString& key, double value) = 0;
  // The buffer to render into (null: none).
  virtual void setPBufferRef(const gl::TextureHandle& buffer) = 0;
  virtual void draw() = 0;
  // What the last render produced (null: nothing).
  virtual gl::TextureHandle textureRef() const = 0;
};

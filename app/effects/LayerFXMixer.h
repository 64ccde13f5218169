#pragma once

#include "platform/gl/TextureHandle.h"

#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <memory>

class WetDryContext;

// The wet/dry mixer of an effect: the effect's output (front) over its
// input (back) by the wet/dry amount, in the mode chosen by the element's
// mix-mode pop-up. The program's is `WetDryContext`; tests give their own.
class LayerFXMixer {
 public:
  virtual ~LayerFXMixer() = default;

  virtual void setWetDryValue(float wetDry) = 0;
  virtual void setFrontTextureRef(const gl::TextureHandle& texture) = 0;
  virtual void setBackTextureRef(const gl::TextureHandle& texture) = 0;
  virtual void setPBufferRef(const gl::TextureHandle& buffer) = 0;
  virtual void render() = 0;
  virtual void draw() = 0;
  virtual gl::TextureHandle textureRef() const = 0;
  virtual void setSize(QSizeF size) = 0;

  virtual void useGLCompMode(int dFactor) = 0;
  virtual void useCICompMode(const QString& filterName) = 0;
  virtual void useQCCompMode(const QString& compModeName) = 0;
  virtual int contentsRenderingMode() const = 0;
  virtual int compRenderingMode() const = 0;
  virtual int dFactor() const = 0;
  virtual QString CIFilterName() const = 0;
  virtual QString QCFilterName() const = 0;

  virtual QVariantMap createSnapshot() const = 0;
  virtual void loadSnapshot(const QVariantMap& snapshot) = 0;
  virtual void prepareToBeDeleted() = 0;

  // The program's mixer around a WetDryContext; null without one.
  static std::shared_ptr<LayerFXMixer> wrapping(std::shared_ptr<WetDryContext> context);
};

#pragma once

#include "app/compositor/CompModeContext.h"

#include <QSizeF>
#include <QString>

#include <memory>

class QKQCGLContext;

// A layer's comp-mode composition: a composition render context of the
// size of what the layer is composited onto, played with its inputs
// "foreground", "background" and "opacity".
//
// Made on the main thread (null when the render thread has no context
// yet); `useFile` and `setSize` on the main thread, the rest on the render
// thread under the layer's lock.
class LayerCompContext : public CompModeContext {
 public:
  static std::unique_ptr<LayerCompContext> create(QSizeF size);
  ~LayerCompContext() override;

  bool hasRenderer() const override;
  void render() override;
  QStringList inputKeys() const override;
  void setImageInput(const QString& key, const image::Image& image) override;
  void setNumberInput(const QString& key, double value) override;
  void setPBufferRef(const gl::TextureHandle& buffer) override;
  void draw() override;
  gl::TextureHandle textureRef() const override;

  void useFile(const QString& path);
  // The file played (empty: none).
  QString rendererPath() const;
  void setSize(QSizeF size);
  void prepareToBeDeleted();

 private:
  explicit LayerCompContext(std::shared_ptr<QKQCGLContext> context);
  std::shared_ptr<QKQCGLContext> context_;
};

#pragma once

#include "framework/render/QKGLContext.h"
#include "platform/image/Filter.h"

#include <QString>
#include <QVariantMap>

#include <memory>

class QKCIGLContext;
class QKGL2LayerContext;
class QKQCGLContext;

// Mixes an effect's output (the wet image) with its input (the dry image)
// by the amount w: 1 shows only the wet image, 0 only the dry one. Three
// ways, the mode:
// - blend (contentsRenderingMode 1): GL blending in a QKGL2LayerContext,
//   source-over or additive by the destination factor;
// - filter (contentsRenderingMode 0, compRenderingMode 0): both images
//   faded by "QKFilterAlpha" and joined by a compositing filter of the
//   filter engine, drawn by a QKCIGLContext;
// - comp mode (contentsRenderingMode 0, compRenderingMode 1): a comp-mode
//   composition played by a QKQCGLContext, given "background" (dry),
//   "foreground" (wet) and "opacity" (w).
// Blend and filter modes fade the images by QKGL2LayerContext::opacitiesFor.
//
// Per frame (render thread): setWetDryValue(), setFrontTextureRef(),
// setBackTextureRef(), setPBufferRef(), render(), draw(), textureRef().
//
// Every change of mode makes a new context of that mode; the old one goes
// to the deferred-release arrays, since the frame under way may still be
// using it. The mixer has no lock: its owner changes modes only while the
// render thread is not drawing with it.
class WetDryContext {
 public:
  // Snapshot keys.
  static const QString kContentsRenderingMode;  // "contentsRenderingMode"
  static const QString kCompRenderingMode;      // "compRenderingMode"
  static const QString kCIFilterName;           // "CIFilterName"
  static const QString kQCFilterName;           // "QCFilterName"
  static const QString kDFactor;                // "dFactor"
  // The compositing filter of filter mode until another is chosen.
  static const QString kDefaultCIFilterName;  // "CISourceAtopCompositing"

  // Null when the shared context or the texture cache is missing. Reads the
  // comp-mode folders for the default comp mode (not on the render thread).
  static std::shared_ptr<WetDryContext> create(gl::GLContext* sharedContext,
                                               gl::TexturePool* textureCache, QSizeF size);
  ~WetDryContext();
  WetDryContext(const WetDryContext&) = delete;
  WetDryContext& operator=(const WetDryContext&) = delete;

  // A value that is not a number is ignored (logged, rate-limited).
  void setWetDryValue(float wetDry);
  float wetDryValue() const { return wetDryValue_; }
  void setBackTextureRef(const gl::TextureHandle& texture) { back_ = texture; }
  void setFrontTextureRef(const gl::TextureHandle& texture) { front_ = texture; }

  // Blend mode with that destination factor for the wet image.
  void useGLCompMode(GLenum dFactor);
  // Filter mode with the compositing filter of that name (an empty name is
  // ignored; one the engine lacks draws nothing).
  void useCICompMode(const QString& filterName);
  // Comp mode with the comp-mode file of that name (an empty name is
  // ignored). Another name keeps the composition context and restarts its
  // time; a name no folder holds leaves the mixer without a context.
  void useQCCompMode(const QString& compModeName);

  // A different value makes a new context for the new mode.
  void setContentsRenderingMode(int mode);
  void setCompRenderingMode(int mode);
  int contentsRenderingMode() const { return contentsRenderingMode_; }
  int compRenderingMode() const { return compRenderingMode_; }
  GLenum dFactor() const { return dFactor_; }
  GLenum sFactor() const { return sFactor_; }
  // Empty after prepareToBeDeleted.
  QString CIFilterName() const;
  QString QCFilterName() const;

  QSizeF size() const { return size_; }
  // Stores the size and passes it to the context.
  void setSize(QSizeF size);
  // Passes the buffer to the current context only: set it before every
  // render.
  void setPBufferRef(const gl::TextureHandle& buffer);

  void render();
  // Mixes in the current mode; nothing without a context.
  void draw();
  // The context's output texture; null without a context.
  gl::TextureHandle textureRef() const;

  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);

  // Makes the context of the current modes (none in comp mode when the
  // comp-mode name is not found); the old one is handed over.
  void createCompContext();
  const std::shared_ptr<QKGLContext>& compContext() const { return compContext_; }

  void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

 private:
  WetDryContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size);
  void releaseCompContext();
  void drawBlend(QKGL2LayerContext& context);
  void drawComposition(QKQCGLContext& context);
  void drawFilter(QKCIGLContext& context);
  image::Image filterInput(const gl::TextureHandle& texture);
  static image::Image faded(image::Filter* alphaFilter, const image::Image& image, float opacity);

  float wetDryValue_ = 1.0f;
  gl::TextureHandle back_;
  gl::TextureHandle front_;
  int contentsRenderingMode_ = 1;
  int compRenderingMode_ = 0;
  std::shared_ptr<QKGLContext> compContext_;
  std::shared_ptr<image::Filter> frontAlphaFilter_;
  std::shared_ptr<image::Filter> backAlphaFilter_;
  std::shared_ptr<image::Filter> ciCompFilter_;
  GLenum sFactor_ = GL_SRC_ALPHA;
  GLenum dFactor_ = GL_ONE_MINUS_SRC_ALPHA;
  QString CIFilterName_;
  QString QCFilterName_;
  gl::GLContext* sharedContext_;
  gl::TexturePool* textureCache_;
  QSizeF size_;
  bool deleted_ = false;
  // Copies rectangle textures into 2D ones, which the filter engine reads.
  std::unique_ptr<gl::RenderTarget> copyTarget_;
};

#pragma once

#include "platform/gl/GLContext.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TextureHandle.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/ColorSpace.h"

#include <QSizeF>
#include <QSurfaceFormat>
#include <QVector4D>

#include <memory>

// An offscreen render context: a render target of the render thread's main
// context (a framebuffer with its viewport, projection and blending) that
// draws into the buffer its owner hands it for each frame and hands the
// result on as a texture. The base of the composition, filter and two-layer
// contexts, which do the drawing.
//
// Owners drive it on the render thread, once per frame: setPBufferRef()
// with the buffer to draw into, render(), the subclass's draw, then
// textureRef(). The texture stays valid until the next render() or draw()
// of the same context; an owner that keeps it longer keeps a copy of the
// handle. Contexts have no locks: the owners' locks guard them.
//
// Made on any thread (no GL call); released off the render thread, the
// context hands its GL objects to the deferred-release arrays.
class QKGLContext {
 public:
  // Null when the shared context or the texture cache is missing.
  static std::shared_ptr<QKGLContext> create(gl::GLContext* sharedContext,
                                             gl::TexturePool* textureCache, QSizeF size);
  virtual ~QKGLContext();
  QKGLContext(const QKGLContext&) = delete;
  QKGLContext& operator=(const QKGLContext&) = delete;

  // Releases the output texture, then the one-time set-up and, after a size
  // change, the viewport and the projection (y runs downward from the top).
  virtual void render();
  // Here only releases the output texture; subclasses draw.
  virtual void draw();

  // Stores the size; only a different size asks for a reshape.
  virtual void setSize(QSizeF size);
  QSizeF size() const { return size_; }
  void setPBufferRef(const gl::TextureHandle& buffer) { pBuffer_ = buffer; }
  const gl::TextureHandle& pBufferRef() const { return pBuffer_; }
  const gl::TextureHandle& textureRef() const { return texture_; }

  // Marks the context deleted: render and draw do nothing from then on.
  virtual void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

  // Binds the target buffer for drawing (after render()); false, with a
  // rate-limited "\t\terr attaching buffer", when there is none or it
  // cannot be bound.
  bool attachPBuffer();

  QSurfaceFormat customPixelFormat() const { return pixelFormat_; }
  gl::RenderTarget& context() { return *target_; }
  gl::GLContext* sharedContext() const { return sharedContext_; }
  gl::TexturePool* textureCache() const { return textureCache_; }
  bool needsReshape() const { return needsReshape_; }
  void setNeedsReshape(bool needsReshape) { needsReshape_ = needsReshape; }
  bool initialized() const { return initialized_; }
  image::ColorSpace colorSpace() const { return image::ColorSpace::DeviceRGB; }

 protected:
  QKGLContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size);

  template <class T, class... Args>
  static std::shared_ptr<T> make(gl::GLContext* sharedContext, gl::TexturePool* textureCache,
                                 QSizeF size, Args&&... args) {
    if (!sharedContext || !textureCache) return nullptr;
    return std::shared_ptr<T>(
        new T(sharedContext, textureCache, size, std::forward<Args>(args)...));
  }

  // The one-time state of the target (blending); called by render().
  virtual void setUpState();
  // Viewport and projection for the current size; called by render().
  virtual void reshape();

  // The common first steps of a draw: releases the output texture; false
  // when deleted, when `needsReadiness` and not yet rendered since the last
  // size change, or without a target buffer (the draw is skipped and no
  // texture made). Otherwise binds the buffer and clears it.
  bool beginDraw(const QVector4D& clearColour, bool needsReadiness);
  // The same without the clear, for a draw that writes every pixel of the
  // buffer itself (or clears what it leaves).
  bool beginDrawUncleared(bool needsReadiness);
  // Whether the viewport (0, 0)–size() reaches every pixel of the buffer.
  bool sizeCoversBuffer() const;
  // The last step: the output texture, made from the buffer (when there is
  // a texture cache); the target lets go of the buffer.
  void endDraw();
  void releaseOutput() { texture_.reset(); }
  gl::RenderTarget& target() { return *target_; }

 private:
  gl::GLContext* sharedContext_;
  gl::TexturePool* textureCache_;
  QSurfaceFormat pixelFormat_;
  std::shared_ptr<gl::RenderTarget> target_;
  gl::TextureHandle pBuffer_;
  gl::TextureHandle texture_;
  bool initialized_ = false;
  bool needsReshape_ = true;
  QSizeF size_;
  bool deleted_ = false;
};

#pragma once

#include "framework/render/QKGLContext.h"
#include "platform/image/Image.h"
#include "platform/image/ImageContext.h"

#include <memory>

// The render context of filter images: draws an image of the filter engine
// into its owner's buffer and hands the result on as a texture. Layer
// effects that are filters, the filter comp modes of the wet/dry mixer and
// the filter parameter contexts render through it.
//
// Per frame: setPBufferRef(), render(), drawImage(), textureRef(). The
// image is drawn from the rectangle (0, 0) – size() of the image plane to
// the buffer's lower left corner, whatever the image's extent: parts beyond
// are cut off, and a smaller image leaves the rest transparent. Blending
// stays off.
class QKCIGLContext : public QKGLContext {
 public:
  static std::shared_ptr<QKCIGLContext> create(gl::GLContext* sharedContext,
                                               gl::TexturePool* textureCache, QSizeF size);

  // render() also makes a new image context after a size change.
  using QKGLContext::render;
  // Draws the image (or, for a null one, only clears to transparent black)
  // and makes the output texture.
  void drawImage(const image::Image& image);
  // The same without making the output texture.
  void justDrawImage(const image::Image& image);
  // `bounds` of the image into memory (see image::ImageContext::render);
  // false, logged, without an image context; nothing once deleted.
  bool render(const image::Image& image, void* toBitmap, int rowBytes, const QRectF& bounds,
              image::ImageContext::BitmapFormat format,
              image::ColorSpace colorSpace = image::ColorSpace::DeviceRGB);

  image::ImageContext* ciContext() const { return ciContext_.get(); }
  image::ColorSpace workingColorSpace() const { return image::ColorSpace::DeviceRGB; }
  image::ColorSpace outputColorSpace() const { return image::ColorSpace::DeviceRGB; }

  void prepareToBeDeleted() override;

 protected:
  QKCIGLContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size);
  void setUpState() override;
  void reshape() override;
  // Into the bound buffer: the image from (0, 0)–size() of its plane. A
  // drawn image writes every pixel of that viewport (transparent beyond its
  // extent, blending off), so the buffer is cleared to transparent only
  // where the draw does not reach: beyond the viewport, or all of it when
  // the image is null or cannot be drawn.
  void drawOverBuffer(const image::Image& image);

 private:
  friend class QKGLContext;
  void makeImageContext();
  bool drawInto(const image::Image& image);

  std::shared_ptr<image::ImageContext> ciContext_;
};

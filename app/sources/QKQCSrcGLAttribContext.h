#pragma once

#include "app/sources/SourceImageFeed.h"
#include "framework/params/QKQCGLAttrPubContext.h"

// The composition source's render context: plays the composition of a
// composition, text or image file into the buffer its owner lends it for
// the frame (the layer's buffer A), with a still image fed to the
// composition's "imageFileInput". Its outputs are not published.
//
// The loading thread (under the composition source's lock) sets the file
// and the bitmap; the render thread, under the same lock, renders and
// draws.
class QKQCSrcGLAttribContext : public QKQCGLAttrPubContext {
 public:
  static std::shared_ptr<QKQCSrcGLAttribContext> create(
      const QString& path, gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
      std::shared_ptr<RendererFactory> factory = nullptr, Clock clock = nullptr);

  void setImageFileBitmapImageRep(const QKImageFile::Bitmap& bitmap, bool purge = true);
  const QKImageFile::Bitmap& imageFileBitmapImageRep() const { return feed_.held(); }
  const SourceImageFeed& imageFeed() const { return feed_; }

  using QKQCGLAttrPubContext::useFile;
  void useFile(const QString& path, bool resetTimer) override;
  void render() override;
  void draw() override;

 protected:
  using QKQCGLAttrPubContext::QKQCGLAttrPubContext;
  friend class QKGLContext;
  QCAttributeLoader* createAttributeLoader() override;

 private:
  SourceImageFeed feed_;
};

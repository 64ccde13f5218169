#pragma once

#include "app/sources/SourceImageFeed.h"
#include "framework/params/QKQCGLAttrPubBuffContext.h"

// The preview of a composition, text or image file (the media inspector's):
// the composition drawn into a buffer of the context's own, with the
// file's still image fed to "imageFileInput". Driven from the main thread.
class QKQCSrcGLAttrPubBuffContext : public QKQCGLAttrPubBuffContext {
 public:
  static std::shared_ptr<QKQCSrcGLAttrPubBuffContext> create(
      const QString& path, gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
      std::shared_ptr<RendererFactory> factory = nullptr, Clock clock = nullptr);

  void setImageFileBitmapImageRep(const QKImageFile::Bitmap& bitmap, bool purge = true);
  const SourceImageFeed& imageFeed() const { return feed_; }

  using QKQCGLAttrPubBuffContext::useFile;
  void useFile(const QString& path, bool resetTimer) override;
  void render() override;
  void draw() override;

 protected:
  using QKQCGLAttrPubBuffContext::QKQCGLAttrPubBuffContext;
  friend class QKGLContext;
  QCAttributeLoader* createAttributeLoader() override;

 private:
  SourceImageFeed feed_;
};

#pragma once

#include "platform/gl/TextureHandle.h"

#include <QString>
#include <QVariantMap>

#include <memory>

// What a layer hands through its effect chain each frame: its current
// texture, three accumulation buffers that the effects render into in turn,
// and a flag a producer may set on the texture it hands on. The buffers come
// from the compositor's buffer dictionary of the layer's size.
class MutableTextureObject {
 public:
  MutableTextureObject() = default;

  // From a texture (may be null) and a buffer dictionary; null, logged
  // "\t\terr: MutableTextureObject init bailing", unless the dictionary
  // holds a number above 0 under "QKBufferRetainKey" and holders under
  // "QKBufferAKey", "QKBufferBKey" and "QKBufferCKey".
  static std::shared_ptr<MutableTextureObject> create(const gl::TextureHandle& texture,
                                                      const QVariantMap& bufferDict);

  const gl::TextureHandle& textureRef() const { return texture_; }
  void setTextureRef(const gl::TextureHandle& texture) { texture_ = texture; }
  const gl::TextureHandle& bufferARef() const { return bufferA_; }
  void setBufferARef(const gl::TextureHandle& buffer) { bufferA_ = buffer; }
  const gl::TextureHandle& bufferBRef() const { return bufferB_; }
  void setBufferBRef(const gl::TextureHandle& buffer) { bufferB_ = buffer; }
  const gl::TextureHandle& bufferCRef() const { return bufferC_; }
  void setBufferCRef(const gl::TextureHandle& buffer) { bufferC_ = buffer; }
  bool questionableColors() const { return questionableColors_; }
  void setQuestionableColors(bool questionable) { questionableColors_ = questionable; }

  // 1: (A, B, C) become (B, C, A); 2: (C, A, B); anything else: no change.
  void rotateXBuffers(int places);

  QString description() const;

 private:
  gl::TextureHandle texture_;
  gl::TextureHandle bufferA_;
  gl::TextureHandle bufferB_;
  gl::TextureHandle bufferC_;
  bool questionableColors_ = false;
};

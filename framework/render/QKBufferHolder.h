#pragma once

#include "platform/gl/TextureHandle.h"

#include <QMetaType>
#include <QSizeF>
#include <QString>

#include <memory>

// Owns one render buffer of a given size: a texture of the render thread's
// pool, released with the holder. The compositor keeps three of them per
// size in its buffer dictionaries (below); effects render into them.
class QKBufferHolder {
 public:
  // Keys of a buffer dictionary (a QVariantMap): the count of users of the
  // size, and the three holders.
  static const QString kRetainKey;   // "QKBufferRetainKey"
  static const QString kBufferAKey;  // "QKBufferAKey"
  static const QString kBufferBKey;  // "QKBufferBKey"
  static const QString kBufferCKey;  // "QKBufferCKey"

  // The error code logged for a size no buffer can have.
  static constexpr long kInvalidSize = -6661;

  // A holder of a new buffer of the size (negative sides count as 0,
  // fractions are cut off); null, logged, when no buffer can be made.
  // Safe from any thread: the GL storage is made on the render thread when
  // first drawn into.
  static std::shared_ptr<QKBufferHolder> create(QSizeF size);

  const gl::TextureHandle& bufferRef() const { return buffer_; }

 private:
  explicit QKBufferHolder(gl::TextureHandle buffer) : buffer_(std::move(buffer)) {}
  gl::TextureHandle buffer_;
};

using QKBufferHolderPtr = std::shared_ptr<QKBufferHolder>;
Q_DECLARE_METATYPE(QKBufferHolderPtr)

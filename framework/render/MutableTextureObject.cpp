#include "framework/render/MutableTextureObject.h"

#include "framework/render/QKBufferHolder.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"

namespace {

QKBufferHolderPtr holderIn(const QVariantMap& dict, const QString& key) {
  const QVariant value = dict.value(key);
  return value.canConvert<QKBufferHolderPtr>() ? value.value<QKBufferHolderPtr>() : nullptr;
}
}  // namespace

std::shared_ptr<MutableTextureObject> MutableTextureObject::create(const gl::TextureHandle& texture,
                                                                   const QVariantMap& bufferDict) {
  const QVariant retain = bufferDict.value(QKBufferHolder::kRetainKey);
  const QKBufferHolderPtr a = holderIn(bufferDict, QKBufferHolder::kBufferAKey);
  const QKBufferHolderPtr b = holderIn(bufferDict, QKBufferHolder::kBufferBKey);
  const QKBufferHolderPtr c = holderIn(bufferDict, QKBufferHolder::kBufferCKey);
  if (!VariantNumbers::isNumber(retain, true) || retain.toLongLong() <= 0 || !a || !b || !c) {
    Log::line("\t\terr: MutableTextureObject init bailing");
    return nullptr;
  }
  auto object = std::make_shared<MutableTextureObject>();
  object->texture_ = texture;
  object->bufferA_ = a->bufferRef();
  object->bufferB_ = b->bufferRef();
  object->bufferC_ = c->bufferRef();
  return object;
}

void MutableTextureObject::rotateXBuffers(int places) {
  if (places == 1) {
    std::swap(bufferA_, bufferB_);  // (B, A, C)
    std::swap(bufferB_, bufferC_);  // (B, C, A)
  } else if (places == 2) {
    std::swap(bufferA_, bufferC_);  // (C, B, A)
    std::swap(bufferB_, bufferC_);  // (C, A, B)
  }
}

QString MutableTextureObject::description() const {
  const QString texture =
      texture_ ? QStringLiteral("texture %1x%2%3")
                     .arg(texture_.size().width())
                     .arg(texture_.size().height())
                     .arg(texture_.isFlipped() ? QStringLiteral(" flipped") : QString())
               : QStringLiteral("(null)");
  return QStringLiteral("<MutTex: %1>").arg(texture);
}

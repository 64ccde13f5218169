#include "framework/render/QKBufferHolder.h"

#include "platform/foundation/Log.h"
#include "platform/gl/TexturePool.h"

const QString QKBufferHolder::kRetainKey = QStringLiteral("QKBufferRetainKey");
const QString QKBufferHolder::kBufferAKey = QStringLiteral("QKBufferAKey");
const QString QKBufferHolder::kBufferBKey = QStringLiteral("QKBufferBKey");
const QString QKBufferHolder::kBufferCKey = QStringLiteral("QKBufferCKey");

std::shared_ptr<QKBufferHolder> QKBufferHolder::create(QSizeF size) {
  const int width = int(std::max(0.0, size.width()));
  const int height = int(std::max(0.0, size.height()));
  gl::TextureHandle buffer = gl::TexturePool::shared().acquire(QSize(width, height));
  if (!buffer) {
    Log::line(QStringLiteral("\t\terr %1 while creating buffer sized %2 x %3")
                  .arg(kInvalidSize)
                  .arg(size.width(), 0, 'f', 6)
                  .arg(size.height(), 0, 'f', 6));
    return nullptr;
  }
  return std::shared_ptr<QKBufferHolder>(new QKBufferHolder(std::move(buffer)));
}

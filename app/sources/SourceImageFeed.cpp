#include "app/sources/SourceImageFeed.h"

#include "framework/render/DeferredReleaseArrays.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Log.h"

const QString SourceImageFeed::kInputKey = QStringLiteral("imageFileInput");

SourceImageFeed::~SourceImageFeed() {
  purgePending();
  if (held_) DeferredReleaseArrays::shared().addBuffer(std::const_pointer_cast<QImage>(held_));
}

void SourceImageFeed::purgePending() {
  if (toPurge_)
    DeferredReleaseArrays::shared().addBuffer(std::const_pointer_cast<QImage>(toPurge_));
  toPurge_.reset();
}

bool SourceImageFeed::take(const QKImageFile::Bitmap& bitmap) {
  if (bitmap && bitmap == held_) {
    Log::line(QStringLiteral("err: attempted to set image rep to itself"));
    return false;
  }
  purgePending();
  toPurge_ = std::move(held_);
  held_ = bitmap;
  if (held_) needsUpdate_.store(true);
  return true;
}

void SourceImageFeed::fileChanged(bool unloaded) {
  if (held_) needsUpdate_.store(true);
  if (unloaded) purgePending();
}

void SourceImageFeed::beforeRender(composition::QCRenderer* renderer) {
  if (toPurge_ && renderer && renderer->hasInputKey(kInputKey)) renderer->clearImage(kInputKey);
}

void SourceImageFeed::afterRender(composition::QCRenderer* renderer) {
  if (!held_ || !renderer || !renderer->hasInputKey(kInputKey)) return;
  if (!needsUpdate_.load() && renderer == fed_) return;
  needsUpdate_.store(false);
  fed_ = renderer;
  renderer->setImage(kInputKey, *held_);
  ++feeds_;
}

void SourceImageFeed::afterDraw() { purgePending(); }

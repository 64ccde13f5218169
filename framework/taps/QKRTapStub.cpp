#include "framework/taps/QKRTapStub.h"

#include "framework/taps/LayerInterface.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKSTap.h"
#include "platform/foundation/Log.h"

std::shared_ptr<QKRTapStub> QKRTapStub::create(std::shared_ptr<QKTapManager::Link> link,
                                               QKSTap* source) {
  return std::make_shared<QKRTapStub>(std::move(link), source);
}

QKRTapStub::QKRTapStub(std::shared_ptr<QKTapManager::Link> link, QKSTap* source)
    : link_(std::move(link)), sTap_(source) {}

void QKRTapStub::setTextureRef(gl::TextureHandle frame) {
  if (frame.isRectangle()) {
    Log::limited(QStringLiteral("QKRTapStub rectangle"),
                 QStringLiteral("\t\terr: a tap frame must be a 2D texture, not a rectangle one"));
    frame.reset();
  }
  keep(std::move(frame));
}

void QKRTapStub::setTextureRefFromOpenGLBufferRef(const QKBufferHolderPtr& buffer) {
  Lock lock(link_->mutex);
  if (buffer) resetBounds_ = true;
  keep(buffer ? buffer->bufferRef() : gl::TextureHandle());
}

// The previous frame is released when `frame` goes, after the lock.
void QKRTapStub::keep(gl::TextureHandle frame) {
  Lock lock(link_->mutex);
  std::swap(textureRef_, frame);
  if (!resetBounds_) return;
  resetBounds_ = false;
  updateTextureSize();
}

void QKRTapStub::updateTextureSize() {
  Lock lock(link_->mutex);
  QKTapManager* manager = link_->manager;
  if (!manager || !sTap_) return;
  for (QKRTap* receiver : manager->rTapsForName(sTap_->tapName())) receiver->updateTapSize();
}

void QKRTapStub::boundsChanged() {
  Lock lock(link_->mutex);
  resetBounds_ = true;
}

int QKRTapStub::depth() const {
  const LayerInterface* layer = sTap_ ? sTap_->layer() : nullptr;
  return layer ? layer->depth() : 0;
}

int QKRTapStub::layerDepthComparison(const QKRTapStub& other) const {
  Lock lock(link_->mutex);
  const int mine = depth();
  const int theirs = other.depth();
  return mine < theirs ? -1 : (mine > theirs ? 1 : 0);
}

gl::TextureHandle QKRTapStub::textureRef() const {
  Lock lock(link_->mutex);
  return textureRef_;
}

QKSTap* QKRTapStub::sTap() const {
  Lock lock(link_->mutex);
  return sTap_;
}

bool QKRTapStub::questionableColors() const {
  Lock lock(link_->mutex);
  return questionableColors_;
}

void QKRTapStub::setQuestionableColors(bool questionable) {
  Lock lock(link_->mutex);
  questionableColors_ = questionable;
}

QString QKRTapStub::description() const {
  Lock lock(link_->mutex);
  return sTap_ ? QStringLiteral("<stub, stap = %1>").arg(sTap_->description())
               : QStringLiteral("<stub, nil stap>");
}

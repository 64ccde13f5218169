#include "app/capture/QKSGVideoChannel.h"

#include "app/capture/QKSGSTap.h"
#include "app/capture/QKSeqGrabber.h"
#include "framework/render/DeferredReleaseArrays.h"
#include "framework/taps/QKRTapStub.h"
#include "platform/capture/CaptureInput.h"
#include "platform/foundation/Log.h"
#include "platform/movie/VideoFrame.h"

namespace {
const QString kQuarterSizeKey = QStringLiteral("quarterSizeState");
const QString kChannelNameKey = QStringLiteral("channelName");

void releaseLater(gl::TextureHandle& texture) {
  if (texture)
    DeferredReleaseArrays::shared().addBuffer(
        std::make_shared<gl::TextureHandle>(std::move(texture)));
  texture = {};
}
}  // namespace

QKSGVideoChannel::QKSGVideoChannel(QKSeqGrabber& grabber, const QString& tapName)
    : grabber_(grabber), sTap_(QKSGSTap::create(tapName)) {}

QKSGVideoChannel::~QKSGVideoChannel() {
  prepareToBeDeleted();
  releaseLater(newTexture_);
  releaseLater(currentTexture_);
}

void QKSGVideoChannel::prepareToBeDeleted() {
  if (deleted_.exchange(true)) return;
  if (sTap_) sTap_->prepareToBeDeleted();
}

QString QKSGVideoChannel::tapName() const { return sTap_ ? sTap_->tapName() : QString(); }

QSizeF QKSGVideoChannel::outputSize() const { return sTap_ ? sTap_->imageSize() : QSizeF(); }

void QKSGVideoChannel::idle(const CaptureInput& input) {
  std::shared_ptr<const VideoFrame> frame;
  if (!input.tryNewestFrame(&frame) || !frame || frame->serial() == newSerial_) return;
  gl::TextureHandle made = uploader_.upload(*frame);
  if (!made) {
    Log::limited(QStringLiteral("QKSGVideoChannel.upload"),
                 QStringLiteral("\t\terr: capture picture upload failed (%1)").arg(tapName()));
    return;
  }
  releaseLater(newTexture_);
  newTexture_ = std::move(made);
  newSerial_ = frame->serial();
  newSize_ = QSizeF(frame->width(), frame->height());
  uploads_.fetch_add(1);
}

void QKSGVideoChannel::compositorRender() {
  if (deleted_.load() || !newTexture_) return;
  if (newSerial_ != publishedSerial_.load()) {
    if (newSize_ != sTap_->imageSize()) {
      sTap_->setImageSize(newSize_);
      sTap_->boundsChanged();
    }
    releaseLater(currentTexture_);
    currentTexture_ = newTexture_;
    publishedSerial_.store(newSerial_);
  }
  if (std::shared_ptr<QKRTapStub> stub = sTap_->stub()) stub->setTextureRef(currentTexture_);
}

void QKSGVideoChannel::setQuarterSizeState(bool quarter) {
  const bool wasRunning = grabber_.running();
  if (wasRunning) grabber_.stop();
  ignoreStatusSetQuarterSizeState(quarter);
  if (wasRunning) grabber_.preview();
}

void QKSGVideoChannel::ignoreStatusSetQuarterSizeState(bool quarter) {
  quarter_.store(quarter);
  grabber_.applyOutputSize();
}

QVariantMap QKSGVideoChannel::createSnapshot() const {
  return {{kQuarterSizeKey, quarterSizeState()}, {kChannelNameKey, tapName()}};
}

void QKSGVideoChannel::loadSnapshot(const QVariantMap& snapshot) {
  if (snapshot.contains(kQuarterSizeKey))
    setQuarterSizeState(snapshot.value(kQuarterSizeKey).toBool());
}

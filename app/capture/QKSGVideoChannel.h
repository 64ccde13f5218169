#pragma once

#include "platform/gl/TextureHandle.h"
#include "platform/movie/MovieTextureUploader.h"

#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <memory>

class CaptureInput;
class QKSGSTap;
class QKSeqGrabber;
class VideoFrame;

// The picture side of a live input: takes the newest decoded picture from
// the input, uploads it on the render thread and publishes it through the
// input's tap. The first picture of a new size sets the tap's size and
// tells the receivers before it is handed on.
//
// Render thread: `idle` and `compositorRender`, called by the input's frame.
// Main thread: the rest.
class QKSGVideoChannel {
 public:
  QKSGVideoChannel(QKSeqGrabber& grabber, const QString& tapName);
  ~QKSGVideoChannel();
  QKSGVideoChannel(const QKSGVideoChannel&) = delete;
  QKSGVideoChannel& operator=(const QKSGVideoChannel&) = delete;

  // Render thread, with the input's component lock held: uploads the
  // input's newest picture when it is new (the hand-over is only tried).
  void idle(const CaptureInput& input);
  // Render thread: hands the newest texture to the tap's receivers.
  void compositorRender();

  // Stops the running input, sets the state and starts the input again.
  void setQuarterSizeState(bool quarter);
  // The same without stopping or starting (restore).
  void ignoreStatusSetQuarterSizeState(bool quarter);
  bool quarterSizeState() const { return quarter_.load(); }
  // The size pictures are published at (zero before the first).
  QSizeF outputSize() const;

  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }

  QKSGSTap* sTap() const { return sTap_.get(); }
  QString tapName() const;
  // Render thread counters (tests): pictures uploaded and published.
  uint64_t uploads() const { return uploads_.load(); }
  // The serial of the picture published last (0: none).
  uint64_t publishedSerial() const { return publishedSerial_.load(); }

 private:
  QKSeqGrabber& grabber_;
  std::shared_ptr<QKSGSTap> sTap_;
  std::atomic<bool> quarter_{false};
  std::atomic<bool> deleted_{false};
  // Render thread:
  MovieTextureUploader uploader_;
  gl::TextureHandle newTexture_;
  gl::TextureHandle currentTexture_;
  QSizeF newSize_;
  uint64_t newSerial_ = 0;
  std::atomic<uint64_t> uploads_{0};
  std::atomic<uint64_t> publishedSerial_{0};
};

#include "platform/movie/VideoFrame.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <atomic>

namespace {
std::atomic<uint64_t> nextSerial{1};
}

VideoFrame::VideoFrame(AVFrame* frame, Format format, int64_t index, QKTime time, bool keyFrame)
    : frame_(av_frame_alloc()),
      format_(format),
      index_(index),
      time_(time),
      keyFrame_(keyFrame),
      serial_(nextSerial++) {
  av_frame_move_ref(frame_, frame);
}

VideoFrame::~VideoFrame() { av_frame_free(&frame_); }

int VideoFrame::width() const { return frame_->width; }
int VideoFrame::height() const { return frame_->height; }

const uint8_t* VideoFrame::plane(int i) const {
  return i >= 0 && i < planeCount() ? frame_->data[i] : nullptr;
}

int VideoFrame::stride(int i) const { return i >= 0 && i < planeCount() ? frame_->linesize[i] : 0; }

int VideoFrame::planeWidth(int i) const {
  if (format_ == Format::Rgba || i == 0) return frame_->width;
  return (frame_->width + 1) / 2;
}

int VideoFrame::planeHeight(int i) const {
  if (format_ == Format::Rgba || i == 0) return frame_->height;
  return (frame_->height + 1) / 2;
}

int64_t VideoFrame::byteSize() const {
  int64_t total = 0;
  for (int i = 0; i < planeCount(); ++i) total += int64_t(stride(i)) * planeHeight(i);
  return total;
}

bool VideoFrame::fullRange() const {
  return frame_->color_range == AVCOL_RANGE_JPEG || frame_->format == AV_PIX_FMT_YUVJ420P;
}

bool VideoFrame::bt709() const {
  if (frame_->colorspace == AVCOL_SPC_BT709) return true;
  if (frame_->colorspace == AVCOL_SPC_UNSPECIFIED) return frame_->height > 576;
  return false;
}

QImage VideoFrame::toImage() const {
  QImage image(width(), height(), QImage::Format_RGBA8888);
  if (image.isNull()) return image;
  if (format_ == Format::Rgba) {
    for (int y = 0; y < height(); ++y)
      std::copy_n(plane(0) + int64_t(y) * stride(0), width() * 4, image.scanLine(y));
    return image;
  }
  SwsContext* sws = sws_getContext(width(), height(), AVPixelFormat(frame_->format), width(),
                                   height(), AV_PIX_FMT_RGBA, SWS_POINT, nullptr, nullptr, nullptr);
  if (!sws) return QImage();
  uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
  int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
  sws_scale(sws, frame_->data, frame_->linesize, 0, height(), dst, dstStride);
  sws_freeContext(sws);
  return image;
}

#include "platform/movie/VideoFrame.h"

#include "platform/movie/RgbaConverter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include <algorithm>
#include <atomic>

namespace {
std::atomic<uint64_t> nextSerial{1};

QImage copyRgba(const AVFrame* frame) {
  QImage image(frame->width, frame->height, QImage::Format_RGBA8888);
  if (image.isNull()) return image;
  for (int y = 0; y < frame->height; ++y)
    std::copy_n(frame->data[0] + int64_t(y) * frame->linesize[0], frame->width * 4,
                image.scanLine(y));
  return image;
}
}  // namespace

VideoFrame::VideoFrame(AVFrame* frame, Format format, int64_t index, QKTime time, bool keyFrame,
                       int rotation)
    : frame_(av_frame_alloc()),
      format_(format),
      index_(index),
      time_(time),
      keyFrame_(keyFrame),
      rotation_(format == Format::Rgba ? 0 : ((rotation % 4) + 4) % 4),
      serial_(nextSerial++) {
  av_frame_move_ref(frame_, frame);
}

VideoFrame::~VideoFrame() { av_frame_free(&frame_); }

int VideoFrame::width() const { return rotation_ % 2 ? frame_->height : frame_->width; }
int VideoFrame::height() const { return rotation_ % 2 ? frame_->width : frame_->height; }

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

bool VideoFrame::fullRange(const AVFrame* frame) {
  return frame->color_range == AVCOL_RANGE_JPEG || frame->format == AV_PIX_FMT_YUVJ420P;
}

bool VideoFrame::bt709(const AVFrame* frame) {
  if (frame->colorspace == AVCOL_SPC_BT709) return true;
  if (frame->colorspace == AVCOL_SPC_UNSPECIFIED) return frame->height > 576;
  return false;
}

QImage VideoFrame::toImage() const {
  if (format_ == Format::Rgba) return copyRgba(frame_);
  AVFrame* rgba = RgbaConverter().convert(frame_, rotation_);
  if (!rgba) return QImage();
  QImage image = copyRgba(rgba);
  av_frame_free(&rgba);
  return image;
}

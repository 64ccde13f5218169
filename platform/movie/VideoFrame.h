#pragma once

#include "platform/movie/QKTime.h"

#include <QImage>

#include <cstdint>

struct AVFrame;

// One decoded picture, ready for upload: RGBA, or 8-bit Y, U and V planes
// (4:2:0) that the render thread converts in its shader. RGBA frames are
// upright; YUV planes stay as decoded and are turned by `rotation` when
// converted. Immutable once made; shared between the decoder's cache and its
// readers.
class VideoFrame {
 public:
  enum class Format { Rgba, Yuv420 };

  // Takes over the frame's buffers (the AVFrame is moved from). `rotation`:
  // quarter turns clockwise the planes are shown turned by (YUV only).
  VideoFrame(AVFrame* frame, Format format, int64_t index, QKTime time, bool keyFrame,
             int rotation = 0);
  ~VideoFrame();
  VideoFrame(const VideoFrame&) = delete;
  VideoFrame& operator=(const VideoFrame&) = delete;

  Format format() const { return format_; }
  // The picture as shown (rotation applied).
  int width() const;
  int height() const;
  int rotation() const { return rotation_; }
  int64_t index() const { return index_; }  // frame number in the movie
  QKTime time() const { return time_; }  // when it starts showing
  bool keyFrame() const { return keyFrame_; }
  // Unique per decoded picture in the process: tells a reader whether it has
  // seen this one.
  uint64_t serial() const { return serial_; }

  // The planes as stored (before the rotation).
  int planeCount() const { return format_ == Format::Rgba ? 1 : 3; }
  const uint8_t* plane(int i) const;
  int stride(int i) const;  // bytes per row
  int planeWidth(int i) const;
  int planeHeight(int i) const;
  int64_t byteSize() const;
  // YUV frames: full-range levels (0..255) rather than video levels, and the
  // BT.709 matrix rather than BT.601 (untagged: BT.709 above 576 rows).
  bool fullRange() const { return fullRange(frame_); }
  bool bt709() const { return bt709(frame_); }
  static bool fullRange(const AVFrame* frame);
  static bool bt709(const AVFrame* frame);

  // An RGBA copy, upright (colours converted for YUV frames).
  QImage toImage() const;

 private:
  AVFrame* frame_;
  Format format_;
  int64_t index_;
  QKTime time_;
  bool keyFrame_;
  int rotation_;
  uint64_t serial_;
};

#include "platform/movie/RgbaConverter.h"

#include "platform/movie/VideoFrame.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

namespace {
constexpr int kAlign = 32;
constexpr int kTile = 32;  // pixels: a tile of each picture stays in the cache while turned

bool isYuv(int format) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(format));
  return d && !(d->flags & AV_PIX_FMT_FLAG_RGB) && d->nb_components >= 3;
}
}  // namespace

RgbaConverter::~RgbaConverter() {
  sws_freeContext(sws_);
  av_buffer_pool_uninit(&pool_);
}

bool RgbaConverter::convertColours(const AVFrame* decoded, uint8_t* dst, int dstStride) {
  const int w = decoded->width;
  const int h = decoded->height;
  SwsContext* sws = sws_getCachedContext(sws_, w, h, AVPixelFormat(decoded->format), w, h,
                                         AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws) return false;
  // YUV follows the picture's matrix and levels, as the shader does.
  const int tags = isYuv(decoded->format) ? (VideoFrame::bt709(decoded) ? 2 : 0) |
                                                (VideoFrame::fullRange(decoded) ? 1 : 0)
                                          : -2;
  if (sws != sws_ || tags != tags_) {
    if (tags >= 0) {
      const int* matrix = sws_getCoefficients(tags & 2 ? SWS_CS_ITU709 : SWS_CS_ITU601);
      sws_setColorspaceDetails(sws, matrix, tags & 1, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                               1 << 16, 1 << 16);
    }
    tags_ = tags;
  }
  sws_ = sws;
  uint8_t* planes[4] = {dst, nullptr, nullptr, nullptr};
  int strides[4] = {dstStride, 0, 0, 0};
  return sws_scale(sws_, decoded->data, decoded->linesize, 0, h, planes, strides) > 0;
}

uint8_t* RgbaConverter::buffer(int width, int height, AVFrame* frame) {
  const int size = av_image_get_buffer_size(AV_PIX_FMT_RGBA, width, height, kAlign);
  if (size <= 0) return nullptr;
  if (!pool_ || poolSize_ != size) {
    av_buffer_pool_uninit(&pool_);
    pool_ = av_buffer_pool_init(size, nullptr);
    poolSize_ = size;
  }
  frame->format = AV_PIX_FMT_RGBA;
  frame->width = width;
  frame->height = height;
  frame->buf[0] = av_buffer_pool_get(pool_);
  if (!frame->buf[0]) return nullptr;
  av_image_fill_arrays(frame->data, frame->linesize, frame->buf[0]->data, AV_PIX_FMT_RGBA, width,
                       height, kAlign);
  return frame->data[0];
}

AVFrame* RgbaConverter::convert(const AVFrame* decoded, int rotation) {
  rotation = ((rotation % 4) + 4) % 4;
  const int w = decoded->width;
  const int h = decoded->height;
  AVFrame* rgba = av_frame_alloc();
  const bool turned = rotation != 0;
  uint8_t* out =
      rgba ? buffer(turned && rotation % 2 ? h : w, turned && rotation % 2 ? w : h, rgba) : nullptr;
  bool converted = out != nullptr;
  if (converted && !turned) {
    converted = convertColours(decoded, out, rgba->linesize[0]);
  } else if (converted) {
    const int stride = FFALIGN(w * 4, kAlign);
    upright_.resize(size_t(stride) * h);
    converted = convertColours(decoded, upright_.data(), stride);
    if (converted) rotate(upright_.data(), stride, w, h, rotation, out, rgba->linesize[0]);
  }
  if (!converted) {
    av_frame_free(&rgba);
    return nullptr;
  }
  av_frame_copy_props(rgba, decoded);
  return rgba;
}

void RgbaConverter::rotate(const uint8_t* src, int srcStride, int width, int height, int rotation,
                           uint8_t* dst, int dstStride) {
  rotation = ((rotation % 4) + 4) % 4;
  const int shownWidth = rotation % 2 ? height : width;
  const int shownHeight = rotation % 2 ? width : height;
  // Shown row y walks the stored picture from `first` by `step` bytes.
  for (int ty = 0; ty < shownHeight; ty += kTile)
    for (int tx = 0; tx < shownWidth; tx += kTile)
      for (int y = ty; y < std::min(ty + kTile, shownHeight); ++y) {
        const uint8_t* first = src + int64_t(y) * srcStride;
        int64_t step = 4;
        if (rotation == 1) {
          first = src + int64_t(height - 1) * srcStride + int64_t(y) * 4;
          step = -int64_t(srcStride);
        } else if (rotation == 2) {
          first = src + int64_t(height - 1 - y) * srcStride + int64_t(width - 1) * 4;
          step = -4;
        } else if (rotation == 3) {
          first = src + int64_t(width - 1 - y) * 4;
          step = srcStride;
        }
        uint8_t* row = dst + int64_t(y) * dstStride;
        for (int x = tx; x < std::min(tx + kTile, shownWidth); ++x)
          std::memcpy(row + int64_t(x) * 4, first + x * step, 4);
      }
}

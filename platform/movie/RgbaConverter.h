#pragma once

#include <cstdint>
#include <vector>

struct AVBufferPool;
struct AVFrame;
struct SwsContext;

// Converts decoded pictures of any pixel format into upright RGBA in pooled
// buffers: YUV colours as the picture's tags say (BT.709 or BT.601, video
// or full levels, as the YUV shader converts them), then turned by the
// track's rotation. One converter per thread.
class RgbaConverter {
 public:
  RgbaConverter() = default;
  ~RgbaConverter();
  RgbaConverter(const RgbaConverter&) = delete;
  RgbaConverter& operator=(const RgbaConverter&) = delete;

  // A new RGBA frame (the caller frees it) holding `decoded` turned by
  // `rotation` quarter turns clockwise, with its properties; null when the
  // format cannot be converted.
  AVFrame* convert(const AVFrame* decoded, int rotation);

  // Turns a picture of 4-byte pixels (`width` × `height` as stored) by
  // quarter turns clockwise into `dst`, which holds the turned size.
  static void rotate(const uint8_t* src, int srcStride, int width, int height, int rotation,
                     uint8_t* dst, int dstStride);

 private:
  bool convertColours(const AVFrame* decoded, uint8_t* dst, int dstStride);
  uint8_t* buffer(int width, int height, AVFrame* frame);

  SwsContext* sws_ = nullptr;
  int tags_ = -1;  // the colour tags sws_ was set up for
  AVBufferPool* pool_ = nullptr;
  int poolSize_ = 0;
  std::vector<uint8_t> upright_;  // the converted picture before it is turned
};

#include "app/plugins/colorswatch/TiffEncoder.h"

#include <QtEndian>

#include <cstdint>

namespace {

void put16(QByteArray& out, std::uint16_t value) {
  const std::uint16_t le = qToLittleEndian(value);
  out.append(reinterpret_cast<const char*>(&le), 2);
}

void put32(QByteArray& out, std::uint32_t value) {
  const std::uint32_t le = qToLittleEndian(value);
  out.append(reinterpret_cast<const char*>(&le), 4);
}

void entry(QByteArray& out, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
           std::uint32_t value) {
  put16(out, tag);
  put16(out, type);
  put32(out, count);
  if (type == 3 && count == 1) {
    put16(out, std::uint16_t(value));
    put16(out, 0);
  } else {
    put32(out, value);
  }
}

constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;
constexpr int kEntries = 11;

}  // namespace

QByteArray TiffEncoder::rgba(const QImage& image) {
  if (image.isNull()) return {};
  const QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
  const auto width = std::uint32_t(pixels.width());
  const auto height = std::uint32_t(pixels.height());
  const std::uint32_t dataBytes = width * height * 4;
  const std::uint32_t ifdOffset = 8;
  const std::uint32_t ifdBytes = 2 + kEntries * 12 + 4;
  const std::uint32_t bitsOffset = ifdOffset + ifdBytes;
  const std::uint32_t dataOffset = bitsOffset + 8;

  QByteArray out;
  out.reserve(int(dataOffset + dataBytes));
  out.append("II", 2);
  put16(out, 42);
  put32(out, ifdOffset);
  put16(out, kEntries);
  entry(out, 256, kLong, 1, width);
  entry(out, 257, kLong, 1, height);
  entry(out, 258, kShort, 4, bitsOffset);
  entry(out, 259, kShort, 1, 1);  // no compression
  entry(out, 262, kShort, 1, 2);  // RGB
  entry(out, 273, kLong, 1, dataOffset);
  entry(out, 277, kShort, 1, 4);
  entry(out, 278, kLong, 1, height);
  entry(out, 279, kLong, 1, dataBytes);
  entry(out, 284, kShort, 1, 1);  // interleaved
  entry(out, 338, kShort, 1, 2);  // unassociated alpha
  put32(out, 0);
  for (int i = 0; i < 4; ++i) put16(out, 8);
  for (std::uint32_t y = 0; y < height; ++y)
    out.append(reinterpret_cast<const char*>(pixels.constScanLine(int(y))), int(width * 4));
  return out;
}

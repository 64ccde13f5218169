#include "framework/toolkit/Sha0.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr size_t kBlockLength = 64;
using State = std::array<uint32_t, 5>;

uint32_t rotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

uint32_t readBigEndian32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void processBlock(State& h, const unsigned char* block) {
  std::array<uint32_t, 80> w{};
  for (int t = 0; t < 16; ++t) w[t] = readBigEndian32(block + 4 * t);
  // The one difference from SHA-1: no rotation here.
  for (int t = 16; t < 80; ++t) w[t] = w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16];

  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
  for (int t = 0; t < 80; ++t) {
    uint32_t f, k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t next = rotateLeft(a, 5) + f + e + k + w[t];
    e = d;
    d = c;
    c = rotateLeft(b, 30);
    b = a;
    a = next;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

}  // namespace

QByteArray Sha0::digest(const QByteArray& data) {
  State h{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
  const size_t length = static_cast<size_t>(data.size());

  size_t offset = 0;
  for (; offset + kBlockLength <= length; offset += kBlockLength) processBlock(h, bytes + offset);

  // The tail, a one bit, zeros, and the message length in bits (big-endian)
  // fill one or two last blocks.
  std::array<unsigned char, 2 * kBlockLength> tail{};
  const size_t rest = length - offset;
  if (rest > 0) std::memcpy(tail.data(), bytes + offset, rest);
  tail[rest] = 0x80;
  const size_t tailLength = rest + 1 + 8 <= kBlockLength ? kBlockLength : 2 * kBlockLength;
  const uint64_t bitLength = uint64_t(length) * 8;
  for (int i = 0; i < 8; ++i)
    tail[tailLength - 1 - i] = static_cast<unsigned char>(bitLength >> (8 * i));
  for (size_t at = 0; at < tailLength; at += kBlockLength) processBlock(h, tail.data() + at);

  QByteArray out(kDigestLength, '\0');
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<char>(h[i] >> (24 - 8 * j));
  return out;
}

#include "framework/toolkit/DataAdditions.h"

#include "framework/toolkit/Sha0.h"
#include "platform/foundation/Log.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <memory>

namespace {

// 32 + 15: a 32 KB window, gzip or zlib header detected from the stream.
constexpr int kDetectHeaderWindowBits = 47;
// 16 + 15: a 32 KB window with the gzip wrapper.
constexpr int kGzipWindowBits = 31;
constexpr int kMemoryLevel = 8;
constexpr qsizetype kDeflateStep = 16384;
// Inflate grows by half the input per pass, but never by less than this, so
// small inputs that expand a lot still finish in a few passes.
constexpr qsizetype kMinimumInflateStep = 16384;

z_stream streamOver(const QByteArray& input) {
  z_stream stream{};
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
  stream.avail_in = static_cast<uInt>(input.size());
  return stream;
}

// One pass of a zlib loop: points the stream at the free end of `output`
// (grown by `step` when full), runs `call` and counts the bytes it produced.
template <typename Call>
int stepInto(z_stream& stream, QByteArray& output, qsizetype& produced, qsizetype step, Call call) {
  if (produced >= output.size()) output.resize(output.size() + step);
  stream.next_out = reinterpret_cast<Bytef*>(output.data() + produced);
  stream.avail_out = static_cast<uInt>(std::min<qsizetype>(output.size() - produced, UINT32_MAX));
  const uInt before = stream.avail_out;
  const int status = call();
  produced += before - stream.avail_out;
  return status;
}

// zlib counts input in 32-bit units; the data we compress (projects, reports)
// stays far below that.
bool fitsOneZlibCall(const QByteArray& data) {
  if (data.size() <= qsizetype(UINT32_MAX)) return true;
  Log::line("\t\terr: data too large for gzip");
  return false;
}

}  // namespace

namespace DataAdditions {

std::optional<QByteArray> gzipInflate(const QByteArray& self) {
  if (self.isEmpty()) return self;
  if (!fitsOneZlibCall(self)) return std::nullopt;
  const qsizetype step = std::max(self.size() / 2, kMinimumInflateStep);
  QByteArray output(self.size() + step, '\0');

  z_stream stream = streamOver(self);
  if (inflateInit2(&stream, kDetectHeaderWindowBits) != Z_OK) return std::nullopt;

  qsizetype produced = 0;
  int status = Z_OK;
  while (status == Z_OK)
    status =
        stepInto(stream, output, produced, step, [&] { return inflate(&stream, Z_SYNC_FLUSH); });
  const bool ended = inflateEnd(&stream) == Z_OK && status == Z_STREAM_END;
  if (!ended) return std::nullopt;
  output.truncate(produced);
  return output;
}

std::optional<QByteArray> gzipDeflate(const QByteArray& self) {
  if (self.isEmpty()) return self;
  if (!fitsOneZlibCall(self)) return std::nullopt;
  z_stream stream = streamOver(self);
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    Log::line("\t\terr: could not start the gzip compressor");
    return std::nullopt;
  }

  QByteArray output(kDeflateStep, '\0');
  qsizetype produced = 0;
  int status = Z_OK;
  while (status == Z_OK || status == Z_BUF_ERROR) {
    status = stepInto(stream, output, produced, kDeflateStep,
                      [&] { return deflate(&stream, Z_FINISH); });
    // No progress with room to spare means the compressor is stuck.
    if (status == Z_BUF_ERROR && stream.avail_out != 0) break;
  }
  deflateEnd(&stream);
  if (status != Z_STREAM_END) {
    Log::line(QStringLiteral("\t\terr: gzip compression failed (%1)").arg(status));
    return std::nullopt;
  }
  output.truncate(produced);
  return output;
}

QByteArray shaDigest(const QByteArray& self) { return Sha0::digest(self); }

QString sha1DigestString(const QByteArray& self) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(self.constData(), static_cast<size_t>(self.size()), digest, &length, EVP_sha1(),
                 nullptr) != 1) {
    Log::line("\t\terr: SHA-1 digest failed");
    return {};
  }
  return QString::fromLatin1(
      QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length)).toHex());
}

}  // namespace DataAdditions

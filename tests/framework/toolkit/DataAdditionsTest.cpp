#include "framework/toolkit/DataAdditions.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <gtest/gtest.h>
#include <zlib.h>

using namespace DataAdditions;

namespace {

QByteArray randomBytes(qsizetype size, quint32 seed) {
  QRandomGenerator generator(seed);
  QByteArray bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(generator.bounded(256));
  return bytes;
}

QByteArray zlibWrapped(const QByteArray& data) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  QByteArray out(static_cast<qsizetype>(length), '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                      reinterpret_cast<const Bytef*>(data.constData()),
                      static_cast<uLong>(data.size()), Z_BEST_COMPRESSION),
            Z_OK);
  out.truncate(static_cast<qsizetype>(length));
  return out;
}

struct Payload {
  const char* name;
  QByteArray bytes;
};

std::vector<Payload> payloads() {
  return {{"short text", QByteArrayLiteral("<plist><dict/></plist>")},
          {"one byte", QByteArray(1, 'x')},
          {"one deflate step of noise", randomBytes(16384, 1)},
          {"a megabyte of noise", randomBytes(1 << 20, 2)},
          {"a megabyte of zeros", QByteArray(1 << 20, '\0')},
          {"repetitive text", QByteArray("<key>layerSnapArray</key>\n").repeated(40000)}};
}

TEST(Gzip, DeflateThenInflateGivesTheSameBytes) {
  for (const Payload& p : payloads()) {
    const std::optional<QByteArray> packed = gzipDeflate(p.bytes);
    ASSERT_TRUE(packed.has_value()) << p.name;
    ASSERT_GE(packed->size(), 18) << p.name;
    EXPECT_EQ(packed->left(2), QByteArray("\x1f\x8b")) << p.name;  // gzip magic
    const std::optional<QByteArray> unpacked = gzipInflate(*packed);
    ASSERT_TRUE(unpacked.has_value()) << p.name;
    EXPECT_TRUE(*unpacked == p.bytes) << p.name;
  }
}

// Noise is stored, not compressed: these sizes make the stream end just
// before, exactly at and just after a step of the output buffer.
TEST(Gzip, StreamsEndingAtTheBufferStepAreComplete) {
  for (qsizetype size = 16350; size <= 16400; ++size) {
    const QByteArray noise = randomBytes(size, quint32(size));
    const std::optional<QByteArray> packed = gzipDeflate(noise);
    ASSERT_TRUE(packed.has_value()) << size;
    const std::optional<QByteArray> unpacked = gzipInflate(*packed);
    ASSERT_TRUE(unpacked.has_value()) << size << " packed to " << packed->size();
    EXPECT_TRUE(*unpacked == noise) << size;
  }
}

TEST(Gzip, InflatesZlibWrappedData) {
  for (const Payload& p : payloads()) {
    const std::optional<QByteArray> unpacked = gzipInflate(zlibWrapped(p.bytes));
    ASSERT_TRUE(unpacked.has_value()) << p.name;
    EXPECT_TRUE(*unpacked == p.bytes) << p.name;
  }
}

TEST(Gzip, EmptyDataComesBackAsItIs) {
  const std::optional<QByteArray> packed = gzipDeflate(QByteArray());
  const std::optional<QByteArray> unpacked = gzipInflate(QByteArray());
  ASSERT_TRUE(packed.has_value());
  ASSERT_TRUE(unpacked.has_value());
  EXPECT_TRUE(packed->isEmpty());
  EXPECT_TRUE(unpacked->isEmpty());
}

TEST(Gzip, AnIncompleteOrBrokenStreamGivesNothing) {
  const QByteArray packed = *gzipDeflate(randomBytes(100000, 3));
  const struct {
    const char* name;
    QByteArray bytes;
  } cases[] = {
      {"header only", packed.left(10)},
      {"cut in the middle", packed.left(packed.size() / 2)},
      {"trailer missing", packed.chopped(8)},
      {"last byte missing", packed.chopped(1)},
      {"not compressed at all", QByteArrayLiteral("plain text, not a stream")},
      {"a flipped byte in the body",
       [&] {
         QByteArray b = packed;
         b[b.size() / 2] = static_cast<char>(b[b.size() / 2] ^ 0x55);
         return b;
       }()},
  };
  for (const auto& c : cases) EXPECT_FALSE(gzipInflate(c.bytes).has_value()) << c.name;
}

// Our streams must be readable by other gzip readers (the report server).
TEST(Gzip, InteroperatesWithTheGzipTool) {
  const QString gzip = QStandardPaths::findExecutable(QStringLiteral("gzip"));
  if (gzip.isEmpty()) GTEST_SKIP() << "no gzip tool";
  const QByteArray text = QByteArray("ZAPH system profile\n").repeated(5000);

  QProcess decompress;
  decompress.start(gzip, {QStringLiteral("-dc")});
  decompress.write(*gzipDeflate(text));
  decompress.closeWriteChannel();
  ASSERT_TRUE(decompress.waitForFinished(10000));
  EXPECT_EQ(decompress.exitCode(), 0);
  EXPECT_TRUE(decompress.readAllStandardOutput() == text);

  QProcess compress;
  compress.start(gzip, {QStringLiteral("-c")});
  compress.write(text);
  compress.closeWriteChannel();
  ASSERT_TRUE(compress.waitForFinished(10000));
  const std::optional<QByteArray> unpacked = gzipInflate(compress.readAllStandardOutput());
  ASSERT_TRUE(unpacked.has_value());
  EXPECT_TRUE(*unpacked == text);
}

TEST(Digests, Sha0MatchesKnownVectors) {
  const struct {
    QByteArray message;
    const char* hex;
  } cases[] = {
      {QByteArray(""), "f96cea198ad1dd5617ac084a3d92c6107708c0ef"},
      {QByteArray("abc"), "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880"},
      {QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
       "d2516ee1acfa5baf33dfc1c471e438449ef134c8"},
      // Lengths around the block boundary, where the padding spills over.
      {QByteArray(55, 'a'), "0ff59f7cb9afc10d7abcdc9ab8c00e0e7b02034f"},
      {QByteArray(56, 'a'), "f826f1db56ddb270e25f21a7a40c4163b51c47ff"},
      {QByteArray(64, 'a'), "6381391134b901db7a5a03699339bca31c409dde"},
      {QByteArray(119, 'a'), "86683a324cedc63bef20d6425cb1680e4054cf57"},
      {QByteArray(1000000, 'a'), "3232affa48628a26653b5aaa44541fd90d690603"},
  };
  for (const auto& c : cases) {
    const QByteArray digest = shaDigest(c.message);
    EXPECT_EQ(digest.size(), 20);
    EXPECT_EQ(digest.toHex().toStdString(), c.hex) << c.message.size() << " bytes";
  }
}

TEST(Digests, Sha1TextOfData) {
  const struct {
    QByteArray message;
    const char* hex;
  } cases[] = {
      {QByteArray(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {QByteArray("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {QByteArray("\0\0\0", 3), "29e2dcfbb16f63bb0254df7585a15bb6fb5e927d"},
  };
  for (const auto& c : cases) EXPECT_EQ(sha1DigestString(c.message).toStdString(), c.hex);
}

}  // namespace

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Additions to data: gzip compression and digests.
namespace DataAdditions {

// The bytes of a gzip or zlib stream, decompressed. Empty data comes back as
// it is; anything that is not one complete stream gives nothing.
std::optional<QByteArray> gzipInflate(const QByteArray& self);
// `self` as one complete gzip stream. Empty data comes back as it is; a
// compressor that fails gives nothing, never a cut-short stream.
std::optional<QByteArray> gzipDeflate(const QByteArray& self);

// The 20-byte SHA-0 digest (the first Secure Hash Algorithm of FIPS 180).
QByteArray shaDigest(const QByteArray& self);
// 40 lower-case hexadecimal characters: the SHA-1 digest.
QString sha1DigestString(const QByteArray& self);

}  // namespace DataAdditions

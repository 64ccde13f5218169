#pragma once

#include <QByteArray>

// SHA-0, the first Secure Hash Algorithm of FIPS 180 (1993). Current
// cryptographic libraries no longer offer it. It is SHA-1 without the one-bit
// rotation in the message schedule; it is not fit for security, only for
// matching digests made with it.
class Sha0 {
 public:
  static constexpr int kDigestLength = 20;
  // The 20-byte digest of `data`.
  static QByteArray digest(const QByteArray& data);
};

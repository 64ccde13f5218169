#pragma once

#include <QByteArray>

// Appends one code point to `out` in UTF-8. The caller gives a valid scalar
// value (no surrogate, at most U+10FFFF).
inline void appendUtf8(QByteArray& out, char32_t code) {
  if (code < 0x80) {
    out += char(code);
    return;
  }
  if (code < 0x800) {
    out += char(0xC0 | (code >> 6));
  } else if (code < 0x10000) {
    out += char(0xE0 | (code >> 12));
    out += char(0x80 | ((code >> 6) & 0x3F));
  } else {
    out += char(0xF0 | (code >> 18));
    out += char(0x80 | ((code >> 12) & 0x3F));
    out += char(0x80 | ((code >> 6) & 0x3F));
  }
  out += char(0x80 | (code & 0x3F));
}

#pragma once

#include <QByteArray>

#include <vector>

// Binary property lists put together object by object, for shapes no
// writer makes (cycles, deep nesting, bad offsets). Each object is its
// marker and contents, with references of `referenceSize` bytes; the header,
// the offset table (four-byte offsets) and the trailer are added.
class HandMadeBinaryList {
 public:
  static QByteArray build(const std::vector<QByteArray>& objects, quint64 top = 0,
                          int referenceSize = 1);
  // A reference or other big-endian number of `size` bytes.
  static QByteArray number(quint64 value, int size = 1);
  // Arrays nested `depth` deep around an empty one.
  static QByteArray nestedArrays(int depth);
};

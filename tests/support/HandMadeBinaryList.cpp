#include "tests/support/HandMadeBinaryList.h"

QByteArray HandMadeBinaryList::number(quint64 value, int size) {
  QByteArray bytes(size, '\0');
  for (int i = size - 1; i >= 0; --i, value >>= 8) bytes[i] = static_cast<char>(value & 0xFF);
  return bytes;
}

QByteArray HandMadeBinaryList::build(const std::vector<QByteArray>& objects, quint64 top,
                                     int referenceSize) {
  QByteArray list = "bplist00";
  QByteArray offsets;
  for (const QByteArray& object : objects) {
    offsets += number(quint64(list.size()), 4);
    list += object;
  }
  const quint64 tableOffset = quint64(list.size());
  list += offsets;
  list += QByteArray(6, '\0');
  list += static_cast<char>(4);
  list += static_cast<char>(referenceSize);
  list += number(objects.size(), 8);
  list += number(top, 8);
  list += number(tableOffset, 8);
  return list;
}

QByteArray HandMadeBinaryList::nestedArrays(int depth) {
  std::vector<QByteArray> objects;
  objects.reserve(std::size_t(depth) + 1);
  for (int i = 0; i < depth; ++i) objects.push_back("\xA1" + number(quint64(i) + 1, 4));
  objects.push_back("\xA0");
  return build(objects, 0, 4);
}

#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <vector>

// Reads binary property lists ("bplist00"). Iterative, so a deep list
// cannot overflow the stack: nesting beyond 512 levels is refused before it
// is followed. Every object is read once, even when many containers refer to
// it, so the work is linear in the size of the file; a list whose shared
// objects would expand, written out, beyond 256 MB is refused.
//
// Integers are qint64, or quint64 from 2^63 up to 2^64 − 1 (16-byte
// integers beyond that are refused); strings are kept as stored (a leading
// U+FEFF or a NUL included); dates keep their milliseconds (years 1 to
// 9999); sets read as arrays; keyed-archive UIDs become {"CF$UID": n}.
// A reference to a missing object, an offset outside the object table, a
// container holding itself, a key that is not a string, null, and unknown
// object types are errors naming the object.
class PropertyListBinaryReader {
 public:
  // The root value, or an invalid QVariant with `error` set to the reason.
  static QVariant parse(const QByteArray& bytes, QString* error);

 private:
  explicit PropertyListBinaryReader(const QByteArray& bytes);

  // A container being read: its references, how far it got, what it has.
  struct Frame {
    quint64 object = 0;
    const uchar* refs = nullptr;
    quint64 count = 0;
    quint64 next = 0;
    bool dictionary = false;
    QVariantList list;
    QVariantMap map;
    QString key;
    quint64 weight = 16;  // its size written out, children included
  };

  QVariant read();
  bool readTrailer();
  // Reads `object` into `value` and answers true, or starts reading a
  // container (pushes its frame) and answers false; false with `error_`
  // set on failure.
  bool begin(quint64 object, QVariant* value);
  bool push(quint64 object, const uchar* at, bool dictionary);
  QVariant scalar(quint64 object, const uchar* at);
  QVariant integer(const uchar* at, int info);
  QVariant date(const uchar* at);
  QVariant text(quint64 object, const uchar* at, bool utf16);
  QVariant uid(const uchar* at, int info);
  // The length of an object whose marker is at `at`, from its low nibble
  // or the integer after it; `payload` is set to where its contents start.
  bool length(const uchar* at, quint64* count, const uchar** payload);
  // Where the contents of `object` start (its marker), or null.
  const uchar* offsetOf(quint64 object);
  bool fits(const uchar* at, quint64 count, quint64 unit) const;
  quint64 reference(const uchar* at) const;
  bool takeKey(Frame& frame);
  void deliver(Frame& frame, const QVariant& value, quint64 weight);
  static quint64 payloadBytes(const QVariant& value);
  QVariant finish();
  bool fail(const QString& reason);
  bool failAt(quint64 object, const QString& reason);

  const uchar* data_;
  qsizetype size_;
  int offsetSize_ = 0;
  int referenceSize_ = 0;
  quint64 objectCount_ = 0;
  quint64 topObject_ = 0;
  const uchar* offsetTable_ = nullptr;
  const uchar* objectsEnd_ = nullptr;
  std::vector<QVariant> done_;
  std::vector<quint64> weight_;
  std::vector<bool> open_;
  std::vector<Frame> stack_;
  QString error_;
};

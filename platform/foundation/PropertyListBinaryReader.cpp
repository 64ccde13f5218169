#include "platform/foundation/PropertyListBinaryReader.h"

#include <QDateTime>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Deep enough for any real file, shallow enough to refuse a hostile one
// before following it.
constexpr std::size_t kMaxDepth = 512;
// Objects may be shared by many containers, so a small file can describe a
// tree of astronomical size that anyone walking it (a writer, a comparison)
// would never finish. The tree as written out may be this large at most:
// each value counts 16 bytes plus its characters or data.
constexpr quint64 kMaxExpandedBytes = quint64(256) << 20;
constexpr quint64 kValueOverhead = 16;
constexpr qsizetype kHeaderSize = 8;
constexpr qsizetype kTrailerSize = 32;
constexpr qint64 kSecondsFrom1970To2001 = 978307200;
// Years 1 and 9999 counted from 2001-01-01 in seconds.
constexpr double kFirstSecond = -63113904000.0;
constexpr double kLastSecond = 252423993600.0;

enum Marker : int {
  kSimple = 0x0,
  kInteger = 0x1,
  kReal = 0x2,
  kDate = 0x3,
  kData = 0x4,
  kAsciiString = 0x5,
  kUtf16String = 0x6,
  kUid = 0x8,
  kArray = 0xA,
  kOrderedSet = 0xB,
  kSet = 0xC,
  kDictionary = 0xD,
};

quint64 bigEndian(const uchar* at, int size) {
  quint64 value = 0;
  for (int i = 0; i < size; ++i) value = (value << 8) | at[i];
  return value;
}

}  // namespace

QVariant PropertyListBinaryReader::parse(const QByteArray& bytes, QString* error) {
  PropertyListBinaryReader reader(bytes);
  QVariant value = reader.read();
  if (!value.isValid()) *error = reader.error_;
  return value;
}

PropertyListBinaryReader::PropertyListBinaryReader(const QByteArray& bytes)
    : data_(reinterpret_cast<const uchar*>(bytes.constData())), size_(bytes.size()) {}

bool PropertyListBinaryReader::fail(const QString& reason) {
  if (error_.isEmpty()) error_ = QStringLiteral("damaged binary property list: ") + reason;
  return false;
}

bool PropertyListBinaryReader::failAt(quint64 object, const QString& reason) {
  return fail(QStringLiteral("object %1: %2").arg(object).arg(reason));
}

bool PropertyListBinaryReader::readTrailer() {
  if (size_ < kHeaderSize + 1 + kTrailerSize) return fail(QStringLiteral("too short"));
  const uchar* trailer = data_ + size_ - kTrailerSize;
  offsetSize_ = trailer[6];
  referenceSize_ = trailer[7];
  objectCount_ = bigEndian(trailer + 8, 8);
  topObject_ = bigEndian(trailer + 16, 8);
  const quint64 tableOffset = bigEndian(trailer + 24, 8);
  if (offsetSize_ < 1 || offsetSize_ > 8 || referenceSize_ < 1 || referenceSize_ > 8)
    return fail(QStringLiteral("offsets or references of %1 and %2 bytes")
                    .arg(offsetSize_)
                    .arg(referenceSize_));
  const quint64 tableEnd = quint64(size_ - kTrailerSize);
  if (tableOffset <= quint64(kHeaderSize) || tableOffset > tableEnd)
    return fail(QStringLiteral("the offset table lies outside the file"));
  if (objectCount_ == 0 || objectCount_ > (tableEnd - tableOffset) / quint64(offsetSize_))
    return fail(QStringLiteral("%1 objects do not fit the offset table").arg(objectCount_));
  if (topObject_ >= objectCount_)
    return fail(QStringLiteral("the top object %1 is not among the %2 objects")
                    .arg(topObject_)
                    .arg(objectCount_));
  offsetTable_ = data_ + tableOffset;
  objectsEnd_ = offsetTable_;
  return true;
}

QVariant PropertyListBinaryReader::read() {
  if (!readTrailer()) return {};
  done_.resize(objectCount_);
  weight_.resize(objectCount_);
  open_.resize(objectCount_);
  stack_.reserve(kMaxDepth + 2);  // frames never move while referred to
  QVariant value;
  if (begin(topObject_, &value)) return value;
  while (!stack_.empty()) {
    Frame& frame = stack_.back();
    if (frame.next == frame.count) {
      const quint64 object = frame.object;
      value = finish();
      if (!error_.isEmpty()) return {};
      if (stack_.empty()) return value;
      deliver(stack_.back(), value, weight_[object]);
      if (!error_.isEmpty()) return {};
      continue;
    }
    if (frame.dictionary && !takeKey(frame)) return {};
    const quint64 child =
        reference(frame.refs + (frame.dictionary ? frame.count + frame.next : frame.next) *
                                   quint64(referenceSize_));
    ++frame.next;
    if (begin(child, &value)) deliver(frame, value, weight_[child]);
    if (!error_.isEmpty()) return {};
  }
  return {};
}

quint64 PropertyListBinaryReader::reference(const uchar* at) const {
  return bigEndian(at, referenceSize_);
}

const uchar* PropertyListBinaryReader::offsetOf(quint64 object) {
  const quint64 offset = bigEndian(offsetTable_ + object * quint64(offsetSize_), offsetSize_);
  if (offset < quint64(kHeaderSize) || offset >= quint64(objectsEnd_ - data_)) {
    failAt(object, QStringLiteral("its offset %1 lies outside the object table").arg(offset));
    return nullptr;
  }
  return data_ + offset;
}

bool PropertyListBinaryReader::fits(const uchar* at, quint64 count, quint64 unit) const {
  return count <= quint64(objectsEnd_ - at) / unit;
}

bool PropertyListBinaryReader::length(const uchar* at, quint64* count, const uchar** payload) {
  const int info = at[0] & 0x0F;
  if (info != 0x0F) {
    *count = quint64(info);
    *payload = at + 1;
    return true;
  }
  // The length follows as an integer object of 1, 2, 4 or 8 bytes.
  const uchar* number = at + 1;
  if (number >= objectsEnd_ || (number[0] >> 4) != kInteger || (number[0] & 0x0F) > 3)
    return fail(QStringLiteral("a length that is not an integer"));
  const int size = 1 << (number[0] & 0x0F);
  if (!fits(number + 1, quint64(size), 1)) return fail(QStringLiteral("a length cut off"));
  *count = bigEndian(number + 1, size);
  *payload = number + 1 + size;
  return true;
}

bool PropertyListBinaryReader::begin(quint64 object, QVariant* value) {
  if (object >= objectCount_)
    return fail(QStringLiteral("a reference to object %1 of %2").arg(object).arg(objectCount_));
  if (done_[object].isValid()) {
    *value = done_[object];
    return true;
  }
  if (open_[object]) return failAt(object, QStringLiteral("a container holds itself"));
  const uchar* at = offsetOf(object);
  if (!at) return false;
  const int type = at[0] >> 4;
  if (type == kArray || type == kOrderedSet || type == kSet || type == kDictionary) {
    push(object, at, type == kDictionary);
    return false;
  }
  *value = scalar(object, at);
  if (!value->isValid()) return false;
  done_[object] = *value;
  weight_[object] = kValueOverhead + payloadBytes(*value);
  return true;
}

bool PropertyListBinaryReader::push(quint64 object, const uchar* at, bool dictionary) {
  quint64 count = 0;
  const uchar* refs = nullptr;
  if (!length(at, &count, &refs)) return false;
  const quint64 perEntry = quint64(referenceSize_) * (dictionary ? 2 : 1);
  if (!fits(refs, count, perEntry))
    return failAt(object, QStringLiteral("%1 entries run past the object table").arg(count));
  if (stack_.size() > kMaxDepth) {
    error_ = QStringLiteral("nested too deeply (more than %1 levels)").arg(kMaxDepth);
    return false;
  }
  Frame& frame = stack_.emplace_back();
  frame.object = object;
  frame.refs = refs;
  frame.count = count;
  frame.dictionary = dictionary;
  if (!dictionary) frame.list.reserve(qsizetype(count));
  open_[object] = true;
  return true;
}

bool PropertyListBinaryReader::takeKey(Frame& frame) {
  const quint64 key = reference(frame.refs + frame.next * quint64(referenceSize_));
  if (key < objectCount_ && !done_[key].isValid()) {
    const uchar* at = offsetOf(key);
    if (!at) return false;
    const int type = at[0] >> 4;
    if (type != kAsciiString && type != kUtf16String)
      return failAt(frame.object, QStringLiteral("a key that is not a string"));
  }
  QVariant value;
  if (!begin(key, &value)) return false;
  if (value.typeId() != QMetaType::QString)
    return failAt(frame.object, QStringLiteral("a key that is not a string"));
  frame.key = value.toString();
  return true;
}

quint64 PropertyListBinaryReader::payloadBytes(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::QString:
      return quint64(value.toString().size()) * 2;
    case QMetaType::QByteArray:
      return quint64(value.toByteArray().size());
    default:
      return 0;
  }
}

void PropertyListBinaryReader::deliver(Frame& frame, const QVariant& value, quint64 weight) {
  // Keys are counted with their value.
  if (frame.dictionary) weight += kValueOverhead + quint64(frame.key.size()) * 2;
  frame.weight = std::min(frame.weight + weight, kMaxExpandedBytes + 1);
  if (frame.weight > kMaxExpandedBytes) {
    failAt(frame.object,
           QStringLiteral("shared objects expand to more than %1 MB").arg(kMaxExpandedBytes >> 20));
    return;
  }
  if (frame.dictionary)
    frame.map.insert(frame.map.cend(), frame.key, value);  // keys usually come sorted
  else
    frame.list.append(value);
}

QVariant PropertyListBinaryReader::finish() {
  Frame& frame = stack_.back();
  QVariant value =
      frame.dictionary ? QVariant(std::move(frame.map)) : QVariant(std::move(frame.list));
  open_[frame.object] = false;
  done_[frame.object] = value;
  weight_[frame.object] = frame.weight;
  stack_.pop_back();
  return value;
}

QVariant PropertyListBinaryReader::scalar(quint64 object, const uchar* at) {
  const int type = at[0] >> 4;
  const int info = at[0] & 0x0F;
  switch (type) {
    case kSimple:
      if (info == 0x8 || info == 0x9) return info == 0x9;
      if (info == 0x0)
        failAt(object, QStringLiteral("a null, which a property list cannot hold"));
      else
        failAt(
            object,
            QStringLiteral("an object of unknown type 0x%1").arg(at[0], 2, 16, QLatin1Char('0')));
      return {};
    case kInteger: {
      const QVariant value = integer(at, info);
      if (!value.isValid()) failAt(object, QStringLiteral("an integer that cannot be read"));
      return value;
    }
    case kReal:
      if ((info == 2 || info == 3) && fits(at + 1, quint64(1) << info, 1)) {
        if (info == 2) return double(qFromBigEndian<float>(at + 1));
        return qFromBigEndian<double>(at + 1);
      }
      failAt(object, QStringLiteral("a real that cannot be read"));
      return {};
    case kDate:
      if (info == 3 && fits(at + 1, 8, 1)) return date(at + 1);
      failAt(object, QStringLiteral("a date that cannot be read"));
      return {};
    case kData: {
      quint64 count = 0;
      const uchar* bytes = nullptr;
      if (!length(at, &count, &bytes)) return {};
      if (!fits(bytes, count, 1)) {
        failAt(object, QStringLiteral("data of %1 bytes runs past the object table").arg(count));
        return {};
      }
      return QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(count));
    }
    case kAsciiString:
    case kUtf16String:
      return text(object, at, type == kUtf16String);
    case kUid: {
      const QVariant value = uid(at, info);
      if (!value.isValid()) failAt(object, QStringLiteral("a UID that cannot be read"));
      return value;
    }
    default:
      failAt(object,
             QStringLiteral("an object of unknown type 0x%1").arg(at[0], 2, 16, QLatin1Char('0')));
      return {};
  }
}

QVariant PropertyListBinaryReader::integer(const uchar* at, int info) {
  if (info > 4 || !fits(at + 1, quint64(1) << info, 1)) return {};
  if (info < 3) return QVariant::fromValue<qint64>(qint64(bigEndian(at + 1, 1 << info)));
  if (info == 3) return QVariant::fromValue<qint64>(qint64(bigEndian(at + 1, 8)));
  // Sixteen bytes, signed: the upper half only extends the lower one.
  const quint64 high = bigEndian(at + 1, 8);
  const quint64 low = bigEndian(at + 9, 8);
  if (high == 0) {
    if (low > quint64(std::numeric_limits<qint64>::max())) return QVariant::fromValue<quint64>(low);
    return QVariant::fromValue<qint64>(qint64(low));
  }
  if (high == ~quint64(0) && (low >> 63)) return QVariant::fromValue<qint64>(qint64(low));
  return {};
}

QVariant PropertyListBinaryReader::date(const uchar* at) {
  const double seconds = qFromBigEndian<double>(at);
  if (!(seconds >= kFirstSecond && seconds < kLastSecond)) {
    fail(QStringLiteral("a date outside the years 1 to 9999"));
    return {};
  }
  // Whole seconds and their fraction apart, so that no millisecond is lost
  // far from 2001.
  const double whole = std::floor(seconds);
  const qint64 ms =
      (qint64(whole) + kSecondsFrom1970To2001) * 1000 + std::llround((seconds - whole) * 1000.0);
  return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

QVariant PropertyListBinaryReader::text(quint64 object, const uchar* at, bool utf16) {
  quint64 count = 0;
  const uchar* chars = nullptr;
  if (!length(at, &count, &chars)) return {};
  if (!fits(chars, count, utf16 ? 2 : 1)) {
    failAt(object,
           QStringLiteral("a string of %1 characters runs past the object table").arg(count));
    return {};
  }
  if (utf16) {
    QString string(qsizetype(count), Qt::Uninitialized);
    qFromBigEndian<char16_t>(chars, qsizetype(count), string.data());
    return string;
  }
  for (quint64 i = 0; i < count; ++i) {
    if (chars[i] < 0x80) continue;
    failAt(object, QStringLiteral("an ASCII string with the byte 0x%1")
                       .arg(chars[i], 2, 16, QLatin1Char('0')));
    return {};
  }
  return QString::fromLatin1(reinterpret_cast<const char*>(chars), qsizetype(count));
}

QVariant PropertyListBinaryReader::uid(const uchar* at, int info) {
  const int size = info + 1;
  if (!fits(at + 1, quint64(size), 1)) return {};
  // More than eight bytes only when the extra ones are zero.
  for (int i = 0; i < size - 8; ++i)
    if (at[1 + i] != 0) return {};
  const int skip = size > 8 ? size - 8 : 0;
  const quint64 value = bigEndian(at + 1 + skip, size - skip);
  const QVariant number = value > quint64(std::numeric_limits<qint64>::max())
                              ? QVariant::fromValue<quint64>(value)
                              : QVariant::fromValue<qint64>(qint64(value));
  return QVariantMap{{QStringLiteral("CF$UID"), number}};
}

#include "platform/foundation/PropertyListXmlWriter.h"
#include "platform/foundation/Utf8.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace {

QByteArray realText(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "+infinity" : "-infinity";
  if (value == 0 && std::signbit(value)) return "-0.0";
  return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

constexpr int kBase64LineLength = 76;
constexpr qint64 kFirstSecond = -62135596800;  // 0001-01-01T00:00:00Z
constexpr qint64 kEndSecond = 253402300800;    // 10000-01-01T00:00:00Z

// Year, month and day of a day counted from 1970-01-01 (proleptic
// Gregorian calendar).
void civilFromDays(qint64 days, qint64* year, int* month, int* day) {
  days += 719468;
  const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
  const qint64 dayOfEra = days - era * 146097;
  const qint64 yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const qint64 shiftedMonth = (5 * dayOfYear + 2) / 153;
  *day = int(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  *month = int(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  *year = yearOfEra + era * 400 + (*month <= 2 ? 1 : 0);
}

void appendDigits(QByteArray& out, qint64 number, int width) {
  char digits[8];
  for (int i = width - 1; i >= 0; --i, number /= 10) digits[i] = char('0' + number % 10);
  out.append(digits, width);
}

}  // namespace

QByteArray PropertyListXmlWriter::write(const QVariant& value) {
  QByteArray out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n";
  if (!PropertyListXmlWriter(out).value(value, 0)) return {};
  out += "</plist>\n";
  return out;
}

void PropertyListXmlWriter::tabs(int indent) { out_.append(indent, '\t'); }

void PropertyListXmlWriter::element(int indent, const char* name, const QByteArray& text) {
  tabs(indent);
  out_ += '<';
  out_ += name;
  out_ += '>';
  out_ += text;
  out_ += "</";
  out_ += name;
  out_ += ">\n";
}

bool PropertyListXmlWriter::textElement(int indent, const char* name, const QString& string) {
  tabs(indent);
  out_ += '<';
  out_ += name;
  out_ += '>';
  if (!text(string)) return false;
  out_ += "</";
  out_ += name;
  out_ += ">\n";
  return true;
}

// UTF-8, escaped; false for what XML 1.0 cannot carry at all (most control
// characters, U+FFFE, U+FFFF, unpaired surrogates).
bool PropertyListXmlWriter::text(const QString& string) {
  const char16_t* chars = reinterpret_cast<const char16_t*>(string.constData());
  const qsizetype size = string.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = chars[i];
    if (c < 0x80) {
      switch (c) {
        case '&':
          out_ += "&amp;";
          break;
        case '<':
          out_ += "&lt;";
          break;
        case '>':
          out_ += "&gt;";
          break;
        case '\r':  // a raw one would be read back as a line feed
          out_ += "&#13;";
          break;
        case '\t':
        case '\n':
          out_ += char(c);
          break;
        default:
          if (c < 0x20) return false;
          out_ += char(c);
      }
      continue;
    }
    if (c == 0xFFFE || c == 0xFFFF) return false;
    if (QChar::isLowSurrogate(c)) return false;
    if (QChar::isHighSurrogate(c)) {
      if (i + 1 >= size || !QChar::isLowSurrogate(chars[i + 1])) return false;
      appendUtf8(out_, QChar::surrogateToUcs4(c, chars[i + 1]));
      ++i;
      continue;
    }
    appendUtf8(out_, c);
  }
  return true;
}

bool PropertyListXmlWriter::value(const QVariant& value, int indent) {
  const void* raw = value.constData();
  switch (value.typeId()) {
    case QMetaType::QVariantMap:
      return dictionary(*static_cast<const QVariantMap*>(raw), indent);
    case QMetaType::QVariantHash:
      return hash(*static_cast<const QVariantHash*>(raw), indent);
    case QMetaType::QVariantList:
      return array(*static_cast<const QVariantList*>(raw), indent);
    case QMetaType::QStringList:
      return array(*static_cast<const QStringList*>(raw), indent);
    case QMetaType::QString:
      return textElement(indent, "string", *static_cast<const QString*>(raw));
    case QMetaType::QByteArray:
      data(*static_cast<const QByteArray*>(raw), indent);
      return true;
    case QMetaType::QDateTime:
      return date(*static_cast<const QDateTime*>(raw), indent);
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
      element(indent, "integer", QByteArray::number(value.toLongLong()));
      return true;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
      element(indent, "integer", QByteArray::number(value.toULongLong()));
      return true;
    case QMetaType::Float:
    case QMetaType::Double:
      element(indent, "real", realText(value.toDouble()));
      return true;
    case QMetaType::Bool:
      tabs(indent);
      out_ += value.toBool() ? "<true/>\n" : "<false/>\n";
      return true;
    default:
      return false;
  }
}

template <typename Map>
bool PropertyListXmlWriter::dictionary(const Map& map, int indent) {
  tabs(indent);
  if (map.isEmpty()) {
    out_ += "<dict/>\n";
    return true;
  }
  out_ += "<dict>\n";
  for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
    if (!textElement(indent + 1, "key", it.key()) || !value(it.value(), indent + 1)) return false;
  }
  tabs(indent);
  out_ += "</dict>\n";
  return true;
}

// In key order, as a dictionary read back has it.
bool PropertyListXmlWriter::hash(const QVariantHash& hash, int indent) {
  QMap<QString, QVariant> sorted;
  for (auto it = hash.constBegin(); it != hash.constEnd(); ++it)
    sorted.insert(it.key(), it.value());
  return dictionary(sorted, indent);
}

template <typename List>
bool PropertyListXmlWriter::array(const List& list, int indent) {
  tabs(indent);
  if (list.isEmpty()) {
    out_ += "<array/>\n";
    return true;
  }
  out_ += "<array>\n";
  for (const auto& item : list) {
    if constexpr (std::is_same_v<typename List::value_type, QVariant>) {
      if (!value(item, indent + 1)) return false;
    } else if (!value(QVariant(item), indent + 1)) {
      return false;
    }
  }
  tabs(indent);
  out_ += "</array>\n";
  return true;
}

void PropertyListXmlWriter::data(const QByteArray& bytes, int indent) {
  tabs(indent);
  out_ += "<data>\n";
  const QByteArray base64 = bytes.toBase64();
  for (qsizetype at = 0; at < base64.size(); at += kBase64LineLength) {
    tabs(indent);
    out_.append(base64.constData() + at,
                std::min<qsizetype>(kBase64LineLength, base64.size() - at));
    out_ += '\n';
  }
  tabs(indent);
  out_ += "</data>\n";
}

// Whole UTC seconds, the fraction dropped toward the past.
bool PropertyListXmlWriter::date(const QDateTime& date, int indent) {
  if (!date.isValid()) return false;
  const qint64 ms = date.toMSecsSinceEpoch();
  const qint64 seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
  if (seconds < kFirstSecond || seconds >= kEndSecond) return false;
  const qint64 days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  const qint64 ofDay = seconds - days * 86400;
  qint64 year = 0;
  int month = 0, day = 0;
  civilFromDays(days, &year, &month, &day);
  tabs(indent);
  out_ += "<date>";
  appendDigits(out_, year, 4);
  out_ += '-';
  appendDigits(out_, month, 2);
  out_ += '-';
  appendDigits(out_, day, 2);
  out_ += 'T';
  appendDigits(out_, ofDay / 3600, 2);
  out_ += ':';
  appendDigits(out_, ofDay / 60 % 60, 2);
  out_ += ':';
  appendDigits(out_, ofDay % 60, 2);
  out_ += "Z</date>\n";
  return true;
}

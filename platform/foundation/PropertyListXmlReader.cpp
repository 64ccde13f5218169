#include "platform/foundation/PropertyListXmlReader.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace {

// Deep enough for any real file, shallow enough for the stack.
constexpr int kMaxDepth = 512;

QVariant parseInteger(QByteArray text, bool* ok) {
  text = text.trimmed();
  bool negative = text.startsWith('-');
  QByteArray digits = (negative || text.startsWith('+')) ? text.mid(1) : text;
  int base = 10;
  if (digits.startsWith("0x") || digits.startsWith("0X")) {
    base = 16;
    digits = digits.mid(2);
  }
  *ok = !digits.isEmpty() && !digits.startsWith('-') && !digits.startsWith('+');
  if (!*ok) return {};
  const quint64 magnitude = digits.toULongLong(ok, base);
  if (!*ok) return {};
  constexpr quint64 kMaxSigned = static_cast<quint64>(std::numeric_limits<qint64>::max());
  if (negative) {
    *ok = magnitude <= kMaxSigned + 1;
    if (!*ok) return {};
    return QVariant::fromValue<qint64>(static_cast<qint64>(0 - magnitude));
  }
  if (magnitude > kMaxSigned) return QVariant::fromValue<quint64>(magnitude);
  return QVariant::fromValue<qint64>(static_cast<qint64>(magnitude));
}

QVariant parseReal(const QByteArray& raw, bool* ok) {
  const QByteArray text = raw.trimmed().toLower();
  *ok = true;
  if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
  if (text == "inf" || text == "+inf" || text == "infinity" || text == "+infinity")
    return std::numeric_limits<double>::infinity();
  if (text == "-inf" || text == "-infinity") return -std::numeric_limits<double>::infinity();
  const double value = text.toDouble(ok);
  if (!*ok || !std::isfinite(value)) {
    *ok = false;
    return {};
  }
  return value;
}

QVariant parseDate(const QString& raw, bool* ok) {
  QDateTime date = QDateTime::fromString(raw.trimmed(), Qt::ISODateWithMs);
  *ok = date.isValid();
  if (!*ok) return {};
  // Property-list dates are UTC; a date written without a zone is taken as UTC.
  if (date.timeSpec() == Qt::LocalTime) date.setTimeSpec(Qt::UTC);
  return date.toUTC();
}

bool isBase64(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

// Base64 as property lists carry it: white space anywhere, padding only at
// the end and only where it belongs. A lone character at the end cannot be a
// byte, so the data was cut. Answers the reason it is not base64, or empty.
QString base64Fault(const QByteArray& text, QByteArray* base64) {
  base64->reserve(text.size());
  qsizetype padding = 0;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    if (!isBase64(c)) return QStringLiteral("the character '%1' is not base64").arg(QLatin1Char(c));
    if (padding) return QStringLiteral("base64 goes on after its padding");
    base64->append(c);
  }
  const qsizetype characters = base64->size();
  if (characters % 4 == 1) return QStringLiteral("a lone base64 character at the end (cut off)");
  if (padding && (padding > 2 || (characters + padding) % 4 != 0))
    return QStringLiteral("wrong base64 padding");
  return {};
}

// Where a fault lies, counted as the XML reader counts: lines from 1,
// columns in characters from 1.
struct Spot {
  qint64 line = 1;
  qint64 column = 1;
};

// The encoding named in the XML declaration, lower-case, or empty.
QByteArray declaredEncoding(const QByteArray& bytes) {
  const qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  if (bytes.mid(start, 5) != "<?xml") return {};
  const qsizetype end = bytes.indexOf("?>", start);
  if (end < 0) return {};
  const QByteArray declaration = bytes.mid(start, end - start);
  const qsizetype at = declaration.indexOf("encoding");
  if (at < 0) return {};
  qsizetype quote = at + 8;
  while (quote < declaration.size() && declaration.at(quote) != '"' &&
         declaration.at(quote) != '\'')
    ++quote;
  if (quote >= declaration.size()) return {};
  const qsizetype close = declaration.indexOf(declaration.at(quote), quote + 1);
  if (close < 0) return {};
  return declaration.mid(quote + 1, close - quote - 1).toLower();
}

bool looksLikeXml(const QByteArray& bytes) {
  const QByteArray start = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
  return start.trimmed().startsWith('<');
}

bool startsAsUtf16(const QByteArray& bytes) {
  return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
         (bytes.size() > 1 && (bytes.at(0) == 0 || bytes.at(1) == 0));
}

// The first byte sequence that is not UTF-8, or a control character XML
// does not allow; empty when there is none.
QString firstBadCharacter(const QByteArray& bytes, Spot* spot) {
  const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
  const qsizetype size = bytes.size();
  for (qsizetype i = 0; i < size;) {
    const uchar c = data[i];
    if (c == '\n') {
      ++spot->line;
      spot->column = 1;
      ++i;
      continue;
    }
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\r')
        return QStringLiteral("a control character (U+%1), which XML does not allow")
            .arg(c, 4, 16, QLatin1Char('0'));
      ++spot->column;
      ++i;
      continue;
    }
    const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    bool valid = length > 1 && c >= 0xC2 && c <= 0xF4 && i + length <= size;
    char32_t code = c & (0x7F >> length);
    for (int k = 1; valid && k < length; ++k) {
      valid = (data[i + k] & 0xC0) == 0x80;
      code = (code << 6) | (data[i + k] & 0x3F);
    }
    valid = valid && !(length == 3 && code < 0x800) && !(length == 4 && code < 0x10000) &&
            code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid) {
      QStringList shown;
      for (qsizetype k = i; k < size && k < i + std::max(length, 2); ++k)
        shown.append(QStringLiteral("%1").arg(data[k], 2, 16, QLatin1Char('0')).toUpper());
      return QStringLiteral("bytes that are not UTF-8 (%1)").arg(shown.join(QLatin1Char(' ')));
    }
    spot->column += code >= 0x10000 ? 2 : 1;
    i += length;
  }
  return {};
}

}  // namespace

PropertyListXmlReader::PropertyListXmlReader(const QByteArray& bytes)
    : bytes_(bytes), xml_(bytes) {}

QVariant PropertyListXmlReader::fail(const QString& message) {
  if (!error_.isEmpty()) return {};
  if (xml_.hasError() && xml_.error() != QXmlStreamReader::CustomError && explainXmlError())
    return {};
  if (xml_.hasError() && xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
    error_ = QStringLiteral("truncated (the document ends too early)");
    return {};
  }
  const QString reason = !xml_.hasError()    ? message
                         : message.isEmpty() ? xml_.errorString()
                                             : message + QStringLiteral(": ") + xml_.errorString();
  return failAt(xml_.lineNumber(), xml_.columnNumber(), reason);
}

QVariant PropertyListXmlReader::failAt(qint64 line, qint64 column, const QString& reason) {
  if (error_.isEmpty())
    error_ = QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(reason);
  return {};
}

// The XML reader's own words mislead for some faults (a raw control
// character is "Unexpected ''.", bytes that are not UTF-8 are reported at
// the declaration): say what is wrong and where the bad bytes are.
bool PropertyListXmlReader::explainXmlError() {
  const QByteArray encoding = declaredEncoding(bytes_);
  if (!looksLikeXml(bytes_) || startsAsUtf16(bytes_) ||
      !(encoding.isEmpty() || encoding == "utf-8"))
    return false;
  Spot spot;
  const QString bad = firstBadCharacter(bytes_, &spot);
  if (bad.isEmpty()) return false;
  failAt(spot.line, spot.column, bad);
  return true;
}

bool PropertyListXmlReader::encodingMatches() {
  if (!declaredEncoding(bytes_).startsWith("utf-16") || startsAsUtf16(bytes_)) return true;
  failAt(1, 1,
         bytes_.startsWith("\xEF\xBB\xBF")
             ? QStringLiteral("the file declares UTF-16 but starts with a UTF-8 byte-order mark")
             : QStringLiteral("the file declares UTF-16 but is not written in UTF-16"));
  return false;
}

QVariant PropertyListXmlReader::read() {
  if (!encodingMatches() || !startRootElement()) return {};
  QVariant value;
  if (xml_.name() == QLatin1String("plist")) {
    if (!nextChild()) return fail(QStringLiteral("<plist> holds no value"));
    value = readValue(0);
    if (!value.isValid()) return {};
    if (nextChild()) return fail(QStringLiteral("<plist> holds more than one value"));
    if (!error_.isEmpty()) return {};
  } else {
    value = readValue(0);
    if (!value.isValid()) return {};
  }
  if (!finishDocument()) return {};
  return value;
}

bool PropertyListXmlReader::startRootElement() {
  while (!xml_.atEnd()) {
    switch (xml_.readNext()) {
      case QXmlStreamReader::StartElement:
        return true;
      case QXmlStreamReader::DTD:
        if (!refuseExternalEntities()) return false;
        break;
      case QXmlStreamReader::Characters:
        if (!xml_.isWhitespace()) {
          fail(QStringLiteral("not a property list"));
          return false;
        }
        break;
      default:
        break;
    }
  }
  fail(QStringLiteral("not a property list"));
  return false;
}

// An external entity would have the reader fetch a file or URL (or, as the
// XML reader does, drop the reference silently): neither is acceptable.
bool PropertyListXmlReader::refuseExternalEntities() {
  for (const QXmlStreamEntityDeclaration& entity : xml_.entityDeclarations()) {
    if (entity.systemId().isEmpty() && entity.publicId().isEmpty()) continue;
    fail(QStringLiteral("the external entity \"%1\" is declared; external entities are not read")
             .arg(entity.name()));
    return false;
  }
  return true;
}

bool PropertyListXmlReader::finishDocument() {
  while (!xml_.atEnd()) {
    const auto token = xml_.readNext();
    if (token == QXmlStreamReader::StartElement ||
        (token == QXmlStreamReader::Characters && !xml_.isWhitespace())) {
      fail(QStringLiteral("content after the property list"));
      return false;
    }
  }
  if (xml_.hasError()) {
    fail({});
    return false;
  }
  return true;
}

QVariant PropertyListXmlReader::undefinedEntity() {
  return fail(QStringLiteral("the entity &%1; is not defined").arg(xml_.name()));
}

bool PropertyListXmlReader::nextChild() {
  while (!xml_.atEnd()) {
    switch (xml_.readNext()) {
      case QXmlStreamReader::StartElement:
        return true;
      case QXmlStreamReader::EndElement:
        return false;
      case QXmlStreamReader::Characters:
        if (!xml_.isWhitespace()) {
          fail(QStringLiteral("unexpected text \"%1\"").arg(xml_.text().trimmed().left(40)));
          return false;
        }
        break;
      case QXmlStreamReader::EntityReference:
        undefinedEntity();
        return false;
      default:
        break;
    }
  }
  fail(xml_.hasError() ? QString() : QStringLiteral("unexpected end"));
  return false;
}

QString PropertyListXmlReader::text() {
  QString value;
  while (!xml_.atEnd()) {
    switch (xml_.readNext()) {
      case QXmlStreamReader::Characters:
        value += xml_.text();
        break;
      case QXmlStreamReader::EndElement:
        return value;
      case QXmlStreamReader::EntityReference:
        undefinedEntity();
        return {};
      case QXmlStreamReader::StartElement:
        fail(QStringLiteral("<%1> inside a text element").arg(xml_.name()));
        return {};
      default:
        break;  // comments and processing instructions
    }
  }
  fail({});
  return {};
}

QVariant PropertyListXmlReader::readValue(int depth) {
  if (depth > kMaxDepth) return fail(QStringLiteral("nested too deeply"));
  const QStringView element = xml_.name();
  if (element == QLatin1String("dict")) return readDictionary(depth);
  if (element == QLatin1String("array")) return readArray(depth);
  return readScalar(element.toString());
}

QVariant PropertyListXmlReader::readDictionary(int depth) {
  QVariantMap map;
  while (nextChild()) {
    if (xml_.name() != QLatin1String("key"))
      return fail(QStringLiteral("<%1> where a <key> belongs").arg(xml_.name()));
    const qint64 line = xml_.lineNumber();
    const qint64 column = xml_.columnNumber();
    const QString key = text();
    if (!error_.isEmpty()) return {};
    const auto noValue = [&] {
      return failAt(line, column, QStringLiteral("key \"%1\" has no value").arg(key));
    };
    if (!nextChild()) return error_.isEmpty() ? noValue() : QVariant();
    if (xml_.name() == QLatin1String("key")) return noValue();
    const QVariant value = readValue(depth + 1);
    if (!value.isValid()) return {};
    map.insert(map.cend(), key, value);
  }
  if (!error_.isEmpty()) return {};
  return map;
}
QVariant PropertyListXmlReader::readArray(int depth) {
  QVariantList list;
  while (nextChild()) {
    const QVariant value = readValue(depth + 1);
    if (!value.isValid()) return {};
    list.append(value);
  }
  if (!error_.isEmpty()) return {};
  return list;
}

bool PropertyListXmlReader::readBoolean() {
  const bool value = xml_.name() == QLatin1String("true");
  if (!text().trimmed().isEmpty()) fail(QStringLiteral("<%1/> holds text").arg(xml_.name()));
  return value;
}

QVariant PropertyListXmlReader::readScalar(const QString& element) {
  if (element == QLatin1String("true") || element == QLatin1String("false")) {
    const bool value = readBoolean();
    return error_.isEmpty() ? QVariant(value) : QVariant();
  }
  const bool known = element == QLatin1String("string") || element == QLatin1String("integer") ||
                     element == QLatin1String("real") || element == QLatin1String("date") ||
                     element == QLatin1String("data");
  if (!known) {
    if (element == QLatin1String("key")) return fail(QStringLiteral("<key> outside a dictionary"));
    return fail(QStringLiteral("unknown element <%1>").arg(element));
  }
  const QString content = text();
  if (!error_.isEmpty()) return {};
  if (element == QLatin1String("string")) return content;

  bool ok = false;
  QVariant value;
  if (element == QLatin1String("integer"))
    value = parseInteger(content.toLatin1(), &ok);
  else if (element == QLatin1String("real"))
    value = parseReal(content.toLatin1(), &ok);
  else if (element == QLatin1String("date"))
    value = parseDate(content, &ok);
  else
    return readData(content);
  if (!ok) return fail(QStringLiteral("<%1> \"%2\" does not parse").arg(element, content.left(40)));
  return value;
}

QVariant PropertyListXmlReader::readData(const QString& content) {
  QByteArray base64;
  const QString fault = base64Fault(content.toLatin1(), &base64);
  if (!fault.isEmpty()) return fail(QStringLiteral("<data> does not parse: %1").arg(fault));
  return QByteArray::fromBase64(base64);
}

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

QVariant parseData(const QString& raw, bool* ok) {
  QByteArray base64 = raw.toLatin1();
  base64.replace(' ', "").replace('\t', "").replace('\n', "").replace('\r', "");
  const auto decoded =
      QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
  *ok = decoded.decodingStatus == QByteArray::Base64DecodingStatus::Ok;
  if (!*ok) return {};
  return decoded.decoded;
}

}  // namespace

PropertyListXmlReader::PropertyListXmlReader(const QByteArray& bytes) : xml_(bytes) {}

QVariant PropertyListXmlReader::fail(const QString& message) {
  if (error_.isEmpty()) {
    if (xml_.hasError() && xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError)
      error_ = QStringLiteral("truncated (the document ends too early)");
    else
      error_ = QStringLiteral("line %1, column %2: %3")
                   .arg(xml_.lineNumber())
                   .arg(xml_.columnNumber())
                   .arg(!xml_.hasError()    ? message
                        : message.isEmpty() ? xml_.errorString()
                                            : message + QStringLiteral(": ") + xml_.errorString());
  }
  return {};
}

QVariant PropertyListXmlReader::read() {
  if (!startRootElement()) return {};
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
      default:
        break;
    }
  }
  fail(xml_.hasError() ? QString() : QStringLiteral("unexpected end"));
  return false;
}

QString PropertyListXmlReader::text() {
  const QString value = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
  if (xml_.hasError()) fail({});
  return value;
}

QVariant PropertyListXmlReader::readValue(int depth) {
  if (depth > kMaxDepth) return fail(QStringLiteral("nested too deeply"));
  const QString element = xml_.name().toString();
  if (element == QLatin1String("dict")) return readDictionary(depth);
  if (element == QLatin1String("array")) return readArray(depth);
  return readScalar(element);
}

QVariant PropertyListXmlReader::readDictionary(int depth) {
  QVariantMap map;
  while (nextChild()) {
    if (xml_.name() != QLatin1String("key"))
      return fail(QStringLiteral("<%1> where a <key> belongs").arg(xml_.name()));
    const QString key = text();
    if (!error_.isEmpty()) return {};
    if (!nextChild()) return fail(QStringLiteral("key \"%1\" has no value").arg(key));
    const QVariant value = readValue(depth + 1);
    if (!value.isValid()) return {};
    map.insert(key, value);
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
    value = parseData(content, &ok);
  if (!ok) return fail(QStringLiteral("<%1> \"%2\" does not parse").arg(element, content.left(40)));
  return value;
}

#include "platform/foundation/PropertyListXmlWriter.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace {

QByteArray escaped(const QString& text) {
  QByteArray out;
  const QByteArray utf8 = text.toUtf8();
  out.reserve(utf8.size());
  for (const char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      // A raw carriage return would be read back as a line feed.
      case '\r':
        out += "&#13;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

QByteArray realText(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "+infinity" : "-infinity";
  if (value == 0 && std::signbit(value)) return "-0.0";
  return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

constexpr int kBase64LineLength = 76;

}  // namespace

QByteArray PropertyListXmlWriter::write(const QVariant& normalizedValue) {
  QByteArray out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n";
  PropertyListXmlWriter(out).value(normalizedValue, 0);
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

void PropertyListXmlWriter::value(const QVariant& value, int indent) {
  switch (value.typeId()) {
    case QMetaType::QVariantMap:
      return dictionary(value.toMap(), indent);
    case QMetaType::QVariantList:
      return array(value.toList(), indent);
    case QMetaType::QString:
      return element(indent, "string", escaped(value.toString()));
    case QMetaType::QByteArray:
      return data(value.toByteArray(), indent);
    case QMetaType::QDateTime:
      return element(
          indent, "date",
          value.toDateTime().toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")).toLatin1());
    case QMetaType::LongLong:
      return element(indent, "integer", QByteArray::number(value.toLongLong()));
    case QMetaType::ULongLong:
      return element(indent, "integer", QByteArray::number(value.toULongLong()));
    case QMetaType::Double:
      return element(indent, "real", realText(value.toDouble()));
    case QMetaType::Bool:
      tabs(indent);
      out_ += value.toBool() ? "<true/>\n" : "<false/>\n";
      return;
    default:
      // Not reached with normalized values.
      element(indent, "string", {});
  }
}

void PropertyListXmlWriter::dictionary(const QVariantMap& map, int indent) {
  tabs(indent);
  if (map.isEmpty()) {
    out_ += "<dict/>\n";
    return;
  }
  out_ += "<dict>\n";
  for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
    element(indent + 1, "key", escaped(it.key()));
    value(it.value(), indent + 1);
  }
  tabs(indent);
  out_ += "</dict>\n";
}

void PropertyListXmlWriter::array(const QVariantList& list, int indent) {
  tabs(indent);
  if (list.isEmpty()) {
    out_ += "<array/>\n";
    return;
  }
  out_ += "<array>\n";
  for (const QVariant& item : list) value(item, indent + 1);
  tabs(indent);
  out_ += "</array>\n";
}

void PropertyListXmlWriter::data(const QByteArray& bytes, int indent) {
  tabs(indent);
  out_ += "<data>\n";
  const QByteArray base64 = bytes.toBase64();
  for (qsizetype at = 0; at < base64.size(); at += kBase64LineLength) {
    tabs(indent);
    out_ += base64.mid(at, kBase64LineLength);
    out_ += '\n';
  }
  tabs(indent);
  out_ += "</data>\n";
}

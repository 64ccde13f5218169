#include "platform/foundation/PropertyListXmlReader.h"
#include "platform/foundation/Utf8.h"

#include <QDateTime>
#include <QStringDecoder>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Deep enough for any real file, shallow enough for the stack.
constexpr int kMaxDepth = 512;
// A small document could otherwise reference a large entity millions of
// times and expand to more memory than the machine has.
constexpr qint64 kMaxEntityBytes = qint64(64) << 20;

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

QVariant parseAnyDate(const QString& raw, bool* ok) {
  QDateTime date = QDateTime::fromString(raw.trimmed(), Qt::ISODateWithMs);
  *ok = date.isValid();
  if (!*ok) return {};
  // Property-list dates are UTC; a date written without a zone is taken as UTC.
  if (date.timeSpec() == Qt::LocalTime) date.setTimeSpec(Qt::UTC);
  return date.toUTC();
}

QVariant parseDate(const QByteArray& raw, bool* ok) {
  // The usual form, "2001-01-01T00:00:00Z", read directly.
  const char* s = raw.constData();
  const auto digits = [s](int at, int count) {
    int value = 0;
    for (int i = at; i < at + count; ++i) {
      if (s[i] < '0' || s[i] > '9') return -1;
      value = value * 10 + (s[i] - '0');
    }
    return value;
  };
  if (raw.size() == 20 && s[4] == '-' && s[7] == '-' && s[10] == 'T' && s[13] == ':' &&
      s[16] == ':' && s[19] == 'Z') {
    const QDate day(digits(0, 4), digits(5, 2), digits(8, 2));
    const QTime time(digits(11, 2), digits(14, 2), digits(17, 2));
    *ok = day.isValid() && time.isValid() && digits(0, 4) > 0;
    if (*ok) return QDateTime(day, time, Qt::UTC);
  }
  return parseAnyDate(QString::fromLatin1(raw), ok);
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

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

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
  qsizetype at = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  while (at < bytes.size() && isSpace(bytes.at(at))) ++at;
  return at < bytes.size() && bytes.at(at) == '<';
}

bool startsAsUtf16(const QByteArray& bytes) {
  return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
         (bytes.size() > 1 && (bytes.at(0) == 0 || bytes.at(1) == 0));
}

// What each byte can be in a document: plain, a control character XML
// does not allow, or the start of a multi-byte UTF-8 sequence.
enum ByteKind : uchar { kPlain, kControl, kMultiByte };

struct ByteKinds {
  uchar kind[256];
  constexpr ByteKinds() : kind() {
    for (int c = 0; c < 0x20; ++c) kind[c] = kControl;
    kind[int('\t')] = kind[int('\n')] = kind[int('\r')] = kPlain;
    for (int c = 0x80; c < 0x100; ++c) kind[c] = kMultiByte;
  }
};
constexpr ByteKinds kByteKinds;

// The length of the UTF-8 sequence at `at` that XML allows, or 0.
int utf8Length(const uchar* at, const uchar* end) {
  const uchar c = at[0];
  const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (length == 0 || c > 0xF4 || end - at < length) return 0;
  char32_t code = c & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    if ((at[k] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (at[k] & 0x3F);
  }
  if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
      (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF)
    return 0;
  return length;
}

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':' || c == '-' || c == '.' || (uchar(c) >= 0x80);
}

bool xmlAllows(char32_t code) {
  if (code < 0x20) return code == '\t' || code == '\n' || code == '\r';
  return (code < 0xD800 || (code > 0xDFFF && code < 0xFFFE)) ||
         (code >= 0x10000 && code <= 0x10FFFF);
}

}  // namespace

PropertyListXmlReader::PropertyListXmlReader(const QByteArray& bytes) : bytes_(bytes) {}

PropertyListXmlReader::Failed PropertyListXmlReader::failAt(const char* at, const QString& reason) {
  if (!error_.isEmpty()) return {};
  // Lines from 1, columns in characters from 1.
  qint64 line = 1;
  const char* lineStart = begin_;
  for (const char* p = begin_; p < at; ++p) {
    if (*p != '\n') continue;
    ++line;
    lineStart = p + 1;
  }
  qint64 column = 1;
  for (const char* p = lineStart; p < at; ++p)
    if ((uchar(*p) & 0xC0) != 0x80) column += uchar(*p) >= 0xF0 ? 2 : 1;
  error_ = QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(reason);
  return {};
}

PropertyListXmlReader::Failed PropertyListXmlReader::fail(const QString& reason) {
  return failAt(at_, reason);
}

PropertyListXmlReader::Failed PropertyListXmlReader::truncated() {
  if (error_.isEmpty()) error_ = QStringLiteral("truncated (the document ends too early)");
  return {};
}

bool PropertyListXmlReader::startsWith(const char* text) const {
  const std::size_t length = std::strlen(text);
  return std::size_t(end_ - at_) >= length && std::memcmp(at_, text, length) == 0;
}

void PropertyListXmlReader::skipSpace() {
  while (at_ < end_ && isSpace(*at_)) ++at_;
}

// The document as UTF-8: a UTF-8 byte-order mark dropped, UTF-16 and other
// declared encodings converted.
bool PropertyListXmlReader::decode() {
  const QByteArray encoding = declaredEncoding(bytes_);
  if (startsAsUtf16(bytes_)) {
    auto decoder = QStringDecoder(QStringDecoder::Utf16, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes_);
    if (decoder.hasError()) return failAtStart(QStringLiteral("the file is not valid UTF-16"));
    utf8_ = text.toUtf8();
    if (utf8_.startsWith("\xEF\xBB\xBF")) utf8_.remove(0, 3);
  } else if (encoding.startsWith("utf-16")) {
    return failAtStart(
        bytes_.startsWith("\xEF\xBB\xBF")
            ? QStringLiteral("the file declares UTF-16 but starts with a UTF-8 byte-order mark")
            : QStringLiteral("the file declares UTF-16 but is not written in UTF-16"));
  } else if (encoding.isEmpty() || encoding == "utf-8" || encoding == "us-ascii" ||
             encoding == "ascii") {
    utf8_ = bytes_.startsWith("\xEF\xBB\xBF") ? bytes_.mid(3) : bytes_;
  } else {
    auto decoder = QStringDecoder(encoding.constData());
    if (!decoder.isValid())
      return failAtStart(
          QStringLiteral("the encoding \"%1\" is not supported").arg(QLatin1String(encoding)));
    utf8_ = QString(decoder(bytes_)).toUtf8();
  }
  begin_ = at_ = utf8_.constData();
  end_ = begin_ + utf8_.size();
  return true;
}

bool PropertyListXmlReader::failAtStart(const QString& reason) {
  error_ = QStringLiteral("line 1, column 1: ") + reason;
  return false;
}

// Every byte is checked once, before anything is read: text that is not
// UTF-8, and control characters XML does not allow, are named where they are.
bool PropertyListXmlReader::checkCharacters() {
  const auto* p = reinterpret_cast<const uchar*>(begin_);
  const auto* end = reinterpret_cast<const uchar*>(end_);
  while (p < end) {
    const uchar kind = kByteKinds.kind[*p];
    if (kind == kPlain) {
      ++p;
      continue;
    }
    const char* at = reinterpret_cast<const char*>(p);
    if (kind == kControl) {
      failAt(at, QStringLiteral("a control character (U+%1), which XML does not allow")
                     .arg(*p, 4, 16, QLatin1Char('0')));
      return false;
    }
    const int length = utf8Length(p, end);
    if (length == 0) {
      QStringList shown;
      for (const uchar* k = p; k < end && k < p + 2; ++k)
        shown.append(QStringLiteral("%1").arg(*k, 2, 16, QLatin1Char('0')).toUpper());
      failAt(at, QStringLiteral("bytes that are not UTF-8 or not allowed in XML (%1)")
                     .arg(shown.join(QLatin1Char(' '))));
      return false;
    }
    p += length;
  }
  return true;
}

QVariant PropertyListXmlReader::read() {
  if (!looksLikeXml(bytes_) && !startsAsUtf16(bytes_)) {
    error_ = QStringLiteral("not a property list");
    return {};
  }
  if (!decode() || !checkCharacters() || !prolog()) return {};
  Tag root;
  if (!startTag(&root)) return {};
  QVariant value;
  if (root.name == "plist") {
    Tag child;
    if (root.empty || !nextChild(root, &child))
      return error_.isEmpty() ? failAt(root.start, QStringLiteral("<plist> holds no value"))
                              : QVariant();
    value = readValue(child, 0);
    if (!value.isValid()) return {};
    Tag more;
    if (nextChild(root, &more))
      return failAt(more.start, QStringLiteral("<plist> holds more than one value"));
    if (!error_.isEmpty()) return {};
  } else {
    value = readValue(root, 0);
    if (!value.isValid()) return {};
  }
  if (!epilog()) return {};
  return value;
}

// Comments and processing instructions; false at anything else.
bool PropertyListXmlReader::skipMisc() {
  if (startsWith("<!--")) {
    const char* close = std::search(at_ + 4, end_, "-->", "-->" + 3);
    if (close == end_) return truncated();
    at_ = close + 3;
    return true;
  }
  if (startsWith("<?")) {
    const char* close = std::search(at_ + 2, end_, "?>", "?>" + 2);
    if (close == end_) return truncated();
    at_ = close + 2;
    return true;
  }
  return false;
}

bool PropertyListXmlReader::prolog() {
  while (true) {
    skipSpace();
    if (at_ == end_) return fail(QStringLiteral("not a property list"));
    if (startsWith("<!DOCTYPE")) {
      if (!doctype()) return false;
      continue;
    }
    const char* before = at_;
    if (skipMisc()) continue;
    if (!error_.isEmpty()) return false;
    at_ = before;
    if (*at_ != '<') return fail(QStringLiteral("not a property list"));
    return true;
  }
}

// Skips a quoted literal at the cursor; false when the document ends first.
bool PropertyListXmlReader::skipQuoted(QByteArray* content) {
  const char quote = *at_;
  const char* close = std::find(at_ + 1, end_, quote);
  if (close == end_) return truncated();
  if (content) *content = QByteArray(at_ + 1, close - at_ - 1);
  at_ = close + 1;
  return true;
}

bool PropertyListXmlReader::doctype() {
  at_ += 9;
  while (at_ < end_ && *at_ != '[' && *at_ != '>') {
    if (*at_ == '"' || *at_ == '\'') {
      if (!skipQuoted(nullptr)) return false;
    } else {
      ++at_;
    }
  }
  if (at_ == end_) return truncated();
  if (*at_ == '[') {
    ++at_;
    while (true) {
      skipSpace();
      if (at_ == end_) return truncated();
      if (*at_ == ']') break;
      if (startsWith("<!ENTITY")) {
        if (!entityDeclaration()) return false;
      } else if (startsWith("<!") && !startsWith("<!--")) {
        if (!skipDeclaration()) return false;
      } else if (*at_ == '%') {
        const char* close = std::find(at_, end_, ';');
        if (close == end_) return truncated();
        at_ = close + 1;
      } else if (!skipMisc()) {
        if (!error_.isEmpty()) return false;
        return fail(QStringLiteral("unexpected text in the document type"));
      }
    }
    ++at_;
    skipSpace();
  }
  if (at_ == end_) return truncated();
  if (*at_ != '>') return fail(QStringLiteral("unexpected text in the document type"));
  ++at_;
  return true;
}

bool PropertyListXmlReader::skipDeclaration() {
  while (at_ < end_ && *at_ != '>') {
    if (*at_ == '"' || *at_ == '\'') {
      if (!skipQuoted(nullptr)) return false;
    } else {
      ++at_;
    }
  }
  if (at_ == end_) return truncated();
  ++at_;
  return true;
}

// <!ENTITY name "text"> is kept for references in the document; an external
// entity (SYSTEM or PUBLIC) would have the reader fetch a file or URL and is
// refused where it is declared.
bool PropertyListXmlReader::entityDeclaration() {
  const char* start = at_;
  at_ += 8;
  skipSpace();
  const bool parameter = at_ < end_ && *at_ == '%';
  if (parameter) {
    ++at_;
    skipSpace();
  }
  const char* nameStart = at_;
  while (at_ < end_ && isNameChar(*at_)) ++at_;
  const QByteArray name(nameStart, at_ - nameStart);
  skipSpace();
  if (at_ == end_) return truncated();
  if (*at_ != '"' && *at_ != '\'') {
    failAt(start, QStringLiteral("the external entity \"%1\" is declared; external entities are "
                                 "not read")
                      .arg(QString::fromUtf8(name)));
    return false;
  }
  QByteArray value;
  if (!skipQuoted(&value) || !skipDeclaration()) return false;
  if (parameter || entities_.contains(name)) return true;  // the first declaration counts
  if (value.contains('<') || value.contains('&') || value.contains('%')) {
    failAt(start, QStringLiteral("the entity \"%1\" holds markup or references, which are not "
                                 "supported")
                      .arg(QString::fromUtf8(name)));
    return false;
  }
  entities_.insert(name, value);
  return true;
}

bool PropertyListXmlReader::epilog() {
  while (true) {
    skipSpace();
    if (at_ == end_) return true;
    if (skipMisc()) continue;
    if (!error_.isEmpty()) return false;
    return fail(QStringLiteral("content after the property list"));
  }
}

// A start tag at the cursor ("<name attributes>" or "<name/>").
bool PropertyListXmlReader::startTag(Tag* tag) {
  tag->start = at_;
  ++at_;
  const char* nameStart = at_;
  while (at_ < end_ && isNameChar(*at_)) ++at_;
  tag->name = QByteArrayView(nameStart, at_ - nameStart);
  if (tag->name.isEmpty()) return fail(QStringLiteral("a tag without a name"));
  while (true) {
    skipSpace();
    if (at_ == end_) return truncated();
    if (*at_ == '>') {
      ++at_;
      tag->empty = false;
      return true;
    }
    if (startsWith("/>")) {
      at_ += 2;
      tag->empty = true;
      return true;
    }
    // An attribute: name = "value".
    const char* attribute = at_;
    while (at_ < end_ && isNameChar(*at_)) ++at_;
    skipSpace();
    if (at_ == attribute || at_ == end_ || *at_ != '=')
      return at_ == end_
                 ? (truncated(), false)
                 : (fail(QStringLiteral("a broken tag <%1>").arg(QString::fromUtf8(tag->name))),
                    false);
    ++at_;
    skipSpace();
    if (at_ == end_) return truncated();
    if (*at_ != '"' && *at_ != '\'')
      return fail(QStringLiteral("an attribute value without quotes"));
    if (!skipQuoted(nullptr)) return false;
  }
}

// The end tag of `tag` at the cursor (which is at "</").
bool PropertyListXmlReader::endTag(const Tag& tag) {
  const char* start = at_;
  at_ += 2;
  const char* nameStart = at_;
  while (at_ < end_ && isNameChar(*at_)) ++at_;
  const QByteArrayView name(nameStart, at_ - nameStart);
  skipSpace();
  if (at_ == end_) return truncated();
  if (name != tag.name || *at_ != '>') {
    failAt(start, QStringLiteral("</%1> where </%2> belongs")
                      .arg(QString::fromUtf8(name), QString::fromUtf8(tag.name)));
    return false;
  }
  ++at_;
  return true;
}

// A reference at the cursor ("&name;" or "&#n;"), appended as UTF-8.
bool PropertyListXmlReader::reference(QByteArray* out) {
  const char* start = at_;
  const char* close = std::find(at_, std::min(end_, at_ + 64), ';');
  if (close == end_ || *close != ';') {
    if (std::find(at_, end_, ';') == end_) return truncated();
    failAt(start, QStringLiteral("a \"&\" that starts no reference"));
    return false;
  }
  const QByteArrayView name(at_ + 1, close - at_ - 1);
  at_ = close + 1;
  if (name.startsWith('#')) {
    bool ok = false;
    const bool hex = name.startsWith("#x");
    const QByteArray digits(name.data() + (hex ? 2 : 1), name.size() - (hex ? 2 : 1));
    const uint code = digits.toUInt(&ok, hex ? 16 : 10);
    if (!ok || !xmlAllows(code)) {
      failAt(start, QStringLiteral("the character reference &%1; names no character XML allows")
                        .arg(QString::fromUtf8(name)));
      return false;
    }
    appendUtf8(*out, code);
    return true;
  }
  if (name == "lt")
    *out += '<';
  else if (name == "gt")
    *out += '>';
  else if (name == "amp")
    *out += '&';
  else if (name == "quot")
    *out += '"';
  else if (name == "apos")
    *out += '\'';
  else {
    const auto found = entities_.constFind(name.toByteArray());
    if (found == entities_.constEnd()) {
      failAt(start, QStringLiteral("the entity &%1; is not defined").arg(QString::fromUtf8(name)));
      return false;
    }
    entityBytes_ += found.value().size();
    if (entityBytes_ > kMaxEntityBytes) {
      failAt(
          start,
          QStringLiteral("entity references expand to more than %1 MB").arg(kMaxEntityBytes >> 20));
      return false;
    }
    *out += found.value();
  }
  return true;
}

// Moves to the next child element of `parent`: true with its start tag read,
// false at the parent's end tag (read) or on an error.
bool PropertyListXmlReader::nextChild(const Tag& parent, Tag* child) {
  while (true) {
    skipSpace();
    if (at_ == end_) return truncated();
    if (*at_ == '<') {
      if (startsWith("</")) {
        endTag(parent);
        return false;
      }
      if (startsWith("<![CDATA[")) return unexpectedText();
      const char* before = at_;
      if (skipMisc()) continue;
      if (!error_.isEmpty()) return false;
      at_ = before;
      return startTag(child);
    }
    if (*at_ == '&') {
      QByteArray ignored;
      if (!reference(&ignored)) return false;
    }
    return unexpectedText();
  }
}

PropertyListXmlReader::Failed PropertyListXmlReader::unexpectedText() {
  const char* start = at_;
  const char* stop = std::find(at_, std::min(end_, at_ + 40), '<');
  return failAt(start, QStringLiteral("unexpected text \"%1\"")
                           .arg(QString::fromUtf8(start, stop - start).trimmed()));
}

// The text of `tag` up to its end tag: references replaced, comments
// dropped, CDATA taken as it is, line ends made line feeds.
bool PropertyListXmlReader::text(const Tag& tag, QByteArray* out) {
  out->clear();
  if (tag.empty) return true;
  const char* runStart = at_;
  const auto flush = [&] { out->append(runStart, at_ - runStart); };
  while (true) {
    while (at_ < end_ && *at_ != '<' && *at_ != '&' && *at_ != '\r') ++at_;
    if (at_ == end_) return truncated();
    flush();
    if (*at_ == '\r') {
      *out += '\n';
      ++at_;
      if (at_ < end_ && *at_ == '\n') ++at_;
    } else if (*at_ == '&') {
      if (!reference(out)) return false;
    } else if (startsWith("</")) {
      return endTag(tag);
    } else if (startsWith("<![CDATA[")) {
      const char* close = std::search(at_ + 9, end_, "]]>", "]]>" + 3);
      if (close == end_) return truncated();
      out->append(at_ + 9, close - at_ - 9);
      at_ = close + 3;
    } else if (!skipMisc()) {
      if (!error_.isEmpty()) return false;
      const char* start = at_;
      Tag inner;
      if (!startTag(&inner)) return false;
      failAt(start, QStringLiteral("<%1> inside <%2>")
                        .arg(QString::fromUtf8(inner.name), QString::fromUtf8(tag.name)));
      return false;
    }
    runStart = at_;
  }
}

QVariant PropertyListXmlReader::readValue(const Tag& tag, int depth) {
  if (depth > kMaxDepth) return failAt(tag.start, QStringLiteral("nested too deeply"));
  if (tag.name == "dict") return readDictionary(tag, depth);
  if (tag.name == "array") return readArray(tag, depth);
  return readScalar(tag);
}

QVariant PropertyListXmlReader::readDictionary(const Tag& tag, int depth) {
  QVariantMap map;
  if (tag.empty) return map;
  Tag child;
  QByteArray key;
  while (nextChild(tag, &child)) {
    if (child.name != "key")
      return failAt(
          child.start,
          QStringLiteral("<%1> where a <key> belongs").arg(QString::fromUtf8(child.name)));
    const Tag keyTag = child;
    if (!text(keyTag, &key)) return {};
    const QString name = QString::fromUtf8(key);
    const auto noValue = [&] {
      return failAt(keyTag.start, QStringLiteral("key \"%1\" has no value").arg(name));
    };
    if (!nextChild(tag, &child)) return error_.isEmpty() ? noValue() : QVariant();
    if (child.name == "key") return noValue();
    const QVariant value = readValue(child, depth + 1);
    if (!value.isValid()) return {};
    map.insert(map.cend(), name, value);  // keys usually come sorted
  }
  if (!error_.isEmpty()) return {};
  return map;
}

QVariant PropertyListXmlReader::readArray(const Tag& tag, int depth) {
  QVariantList list;
  if (tag.empty) return list;
  Tag child;
  while (nextChild(tag, &child)) {
    const QVariant value = readValue(child, depth + 1);
    if (!value.isValid()) return {};
    list.append(value);
  }
  if (!error_.isEmpty()) return {};
  return list;
}

QVariant PropertyListXmlReader::readScalar(const Tag& tag) {
  const QByteArrayView element = tag.name;
  const auto name = [&] { return QString::fromUtf8(element); };
  if (element == "true" || element == "false") {
    if (!text(tag, &scratch_)) return {};
    if (!scratch_.trimmed().isEmpty())
      return failAt(tag.start, QStringLiteral("<%1/> holds text").arg(name()));
    return element == "true";
  }
  const bool known = element == "string" || element == "integer" || element == "real" ||
                     element == "date" || element == "data";
  if (!known) {
    if (element == "key") return failAt(tag.start, QStringLiteral("<key> outside a dictionary"));
    return failAt(tag.start, QStringLiteral("unknown element <%1>").arg(name()));
  }
  if (!text(tag, &scratch_)) return {};
  if (element == "string") return QString::fromUtf8(scratch_);
  if (element == "data") return readData(tag);
  bool ok = false;
  QVariant value;
  if (element == "integer")
    value = parseInteger(scratch_, &ok);
  else if (element == "real")
    value = parseReal(scratch_, &ok);
  else
    value = parseDate(scratch_.trimmed(), &ok);
  if (!ok)
    return failAt(tag.start, QStringLiteral("<%1> \"%2\" does not parse")
                                 .arg(name(), QString::fromUtf8(scratch_.left(40))));
  return value;
}

QVariant PropertyListXmlReader::readData(const Tag& tag) {
  QByteArray base64;
  const QString fault = base64Fault(scratch_, &base64);
  if (!fault.isEmpty())
    return failAt(tag.start, QStringLiteral("<data> does not parse: %1").arg(fault));
  return QByteArray::fromBase64(base64);
}

#include "platform/foundation/FileNames.h"

namespace FileNames {

namespace {

int hexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

}  // namespace

QString escaped(const QString& name) {
  QString out;
  out.reserve(name.size() + 4);
  for (qsizetype i = 0; i < name.size(); ++i) {
    const QChar c = name.at(i);
    if (c == QLatin1Char('%'))
      out += QStringLiteral("%25");
    else if (c == QLatin1Char('/'))
      out += QStringLiteral("%2F");
    else if (c.unicode() == 0)
      out += QStringLiteral("%00");
    else if (i == 0 && c == QLatin1Char('.'))
      out += QStringLiteral("%2E");
    else
      out += c;
  }
  return out;
}

QString unescaped(const QString& fileName) {
  QString out;
  out.reserve(fileName.size());
  for (qsizetype i = 0; i < fileName.size(); ++i) {
    const QChar c = fileName.at(i);
    if (c == QLatin1Char('%') && i + 2 < fileName.size()) {
      const int high = hexDigit(fileName.at(i + 1));
      const int low = hexDigit(fileName.at(i + 2));
      if (high >= 0 && low >= 0) {
        out += QChar(static_cast<char16_t>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace FileNames

#include "platform/foundation/PropertyList.h"

#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/PropertyListBinaryReader.h"
#include "platform/foundation/PropertyListXmlReader.h"
#include "platform/foundation/PropertyListXmlWriter.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <limits>
#include <vector>

namespace {

// One step down into a value: a dictionary key, or an array index.
struct PathStep {
  QString key;
  qsizetype index = -1;
};

// Where a part of a value sits, for error messages: "layers" > 2 > "name".
// Made only when a value fails: walking a good value formats nothing.
QString describe(const std::vector<PathStep>& where) {
  if (where.empty()) return QStringLiteral("the value");
  QStringList parts;
  for (const PathStep& step : where)
    parts << (step.index >= 0 ? QString::number(step.index)
                              : QLatin1Char('"') + step.key + QLatin1Char('"'));
  return parts.join(QStringLiteral(" > "));
}

// XML 1.0 cannot carry most control characters, not even escaped, nor
// unpaired surrogates.
bool xmlCanHold(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text.at(i).unicode();
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    if (c == 0xFFFE || c == 0xFFFF) return false;
    if (QChar::isHighSurrogate(c)) {
      if (i + 1 >= text.size() || !QChar::isLowSurrogate(text.at(i + 1).unicode())) return false;
      ++i;
    } else if (QChar::isLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

class Normalizer {
 public:
  QVariant normalize(const QVariant& value);
  QString error;

 private:
  QVariant fail(const QString& reason) {
    if (error.isEmpty()) error = QStringLiteral("%1: %2").arg(describe(where_), reason);
    return {};
  }
  QVariant text(const QString& string);
  QVariant date(const QDateTime& date);
  template <typename Map>
  QVariant dictionary(const Map& map);
  template <typename List>
  QVariant array(const List& list);

  std::vector<PathStep> where_;
};

QVariant Normalizer::normalize(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Bool:
      return value.toBool();
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
      return QVariant::fromValue<qint64>(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
      const quint64 number = value.toULongLong();
      if (number > static_cast<quint64>(std::numeric_limits<qint64>::max()))
        return QVariant::fromValue<quint64>(number);
      return QVariant::fromValue<qint64>(static_cast<qint64>(number));
    }
    case QMetaType::Float:
    case QMetaType::Double:
      return value.toDouble();
    case QMetaType::QString:
      return text(value.toString());
    case QMetaType::QByteArray:
      return value.toByteArray();
    case QMetaType::QDateTime:
      return date(value.toDateTime());
    case QMetaType::QVariantMap:
      return dictionary(value.toMap());
    case QMetaType::QVariantHash:
      return dictionary(value.toHash());
    case QMetaType::QVariantList:
      return array(value.toList());
    case QMetaType::QStringList:
      return array(value.toStringList());
    case QMetaType::UnknownType:
      return fail(QStringLiteral("an empty value has no property-list form"));
    default:
      return fail(
          QStringLiteral("a %1 has no property-list form").arg(QLatin1String(value.typeName())));
  }
}

QVariant Normalizer::text(const QString& string) {
  if (!xmlCanHold(string))
    return fail(QStringLiteral("text with control characters or broken Unicode cannot be stored"));
  return string;
}

QVariant Normalizer::date(const QDateTime& date) {
  if (!date.isValid()) return fail(QStringLiteral("an invalid date has no property-list form"));
  const QDateTime utc = date.toUTC();
  const int year = utc.date().year();
  if (year < 1 || year > 9999)
    return fail(QStringLiteral("the date is outside the years 1 to 9999"));
  const qint64 ms = utc.toMSecsSinceEpoch();
  const qint64 wholeSeconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;  // floor
  return QDateTime::fromSecsSinceEpoch(wholeSeconds, Qt::UTC);
}

template <typename Map>
QVariant Normalizer::dictionary(const Map& map) {
  QVariantMap result;
  for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
    where_.push_back({it.key()});
    if (!text(it.key()).isValid()) return {};
    const QVariant item = normalize(it.value());
    if (!item.isValid()) return {};
    where_.pop_back();
    result.insert(it.key(), item);
  }
  return result;
}

template <typename List>
QVariant Normalizer::array(const List& list) {
  QVariantList result;
  result.reserve(list.size());
  for (qsizetype i = 0; i < list.size(); ++i) {
    where_.push_back({{}, i});
    const QVariant item = normalize(list.at(i));
    if (!item.isValid()) return {};
    where_.pop_back();
    result.append(item);
  }
  return result;
}

PropertyList::Result failure(const QString& name, const QString& reason) {
  return {QVariant(), QStringLiteral("%1: %2").arg(name, reason)};
}

}  // namespace

PropertyList::Result PropertyList::read(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return failure(path, QStringLiteral("no such file"));
  if (info.isDir()) return failure(path, QStringLiteral("is a folder"));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return failure(path, file.errorString());
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return failure(path, file.errorString());
  return parse(bytes, path);
}

PropertyList::Result PropertyList::parse(const QByteArray& bytes, const QString& nameForErrors) {
  if (bytes.trimmed().isEmpty()) return failure(nameForErrors, QStringLiteral("empty file"));
  QString error;
  QVariant value;
  if (bytes.startsWith("bplist")) {
    if (!bytes.startsWith("bplist00"))
      return failure(nameForErrors, QStringLiteral("unsupported binary property-list version"));
    value = PropertyListBinaryReader::parse(bytes, &error);
  } else {
    PropertyListXmlReader reader(bytes);
    value = reader.read();
    error = reader.error();
  }
  if (!value.isValid()) return failure(nameForErrors, error);
  return {value, {}};
}

QVariant PropertyList::normalized(const QVariant& value, QString* error) {
  Normalizer normalizer;
  QVariant result = normalizer.normalize(value);
  if (error) *error = normalizer.error;
  return result;
}

bool PropertyList::isNormalized(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::QByteArray:
      return true;
    case QMetaType::QString:
      return xmlCanHold(*static_cast<const QString*>(value.constData()));
    case QMetaType::QVariantMap: {
      const auto& map = *static_cast<const QVariantMap*>(value.constData());
      for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        if (!xmlCanHold(it.key()) || !isNormalized(it.value())) return false;
      return true;
    }
    case QMetaType::QVariantList: {
      const auto& list = *static_cast<const QVariantList*>(value.constData());
      for (const QVariant& item : list)
        if (!isNormalized(item)) return false;
      return true;
    }
    default:
      return false;
  }
}

QByteArray PropertyList::toXml(const QVariant& value, QString* error) {
  // The writer checks as it goes; the normalizer says why a value failed.
  QByteArray xml = PropertyListXmlWriter::write(value);
  if (!xml.isEmpty()) {
    if (error) error->clear();
    return xml;
  }
  const QVariant plain = normalized(value, error);
  if (!plain.isValid()) return {};
  return PropertyListXmlWriter::write(plain);
}

QString PropertyList::write(const QVariant& value, const QString& path) {
  QString error;
  const QByteArray xml = toXml(value, &error);
  if (xml.isEmpty()) return QStringLiteral("%1: %2").arg(path, error);
  return AtomicFile::write(path, xml);
}

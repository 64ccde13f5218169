#include "platform/foundation/PropertyListBinaryReader.h"

#include "platform/foundation/PropertyListXmlReader.h"

#include <QDateTime>

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

namespace {

struct NodeDeleter {
  void operator()(void* node) const { plist_free(node); }
};
using NodePtr = std::unique_ptr<void, NodeDeleter>;

struct MallocDeleter {
  void operator()(void* memory) const { std::free(memory); }
};
using MallocPtr = std::unique_ptr<char, MallocDeleter>;

struct XmlDeleter {
  void operator()(char* xml) const { plist_to_xml_free(xml); }
};

constexpr int kMaxDepth = 512;
constexpr qint64 kSecondsFrom1970To2001 = 978307200;

class Converter {
 public:
  QVariant convert(plist_t node, int depth);
  QString error;

 private:
  QVariant fail(const QString& message) {
    if (error.isEmpty()) error = message;
    return {};
  }
  QVariant convertDictionary(plist_t node, int depth);
  QVariant convertArray(plist_t node, int depth);
  QVariant convertDate(plist_t node);
  QVariant dateFromXmlText(plist_t node);
};

QVariant Converter::convert(plist_t node, int depth) {
  if (depth > kMaxDepth) return fail(QStringLiteral("nested too deeply"));
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return value != 0;
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return QVariant::fromValue<qint64>(static_cast<qint64>(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return value;
    }
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return QString::fromUtf8(text, static_cast<qsizetype>(length));
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* bytes = plist_get_data_ptr(node, &length);
      return QByteArray(bytes, static_cast<qsizetype>(length));
    }
    case PLIST_DATE:
      return convertDate(node);
    case PLIST_ARRAY:
      return convertArray(node, depth);
    case PLIST_DICT:
      return convertDictionary(node, depth);
    case PLIST_UID: {
      uint64_t value = 0;
      plist_get_uid_val(node, &value);
      return QVariantMap{
          {QStringLiteral("CF$UID"), QVariant::fromValue<qint64>(static_cast<qint64>(value))}};
    }
    default:
      return fail(QStringLiteral("an object of unknown type"));
  }
}

QVariant Converter::convertArray(plist_t node, int depth) {
  QVariantList list;
  const uint32_t size = plist_array_get_size(node);
  list.reserve(static_cast<qsizetype>(size));
  for (uint32_t i = 0; i < size; ++i) {
    const QVariant value = convert(plist_array_get_item(node, i), depth + 1);
    if (!value.isValid()) return {};
    list.append(value);
  }
  return list;
}

QVariant Converter::convertDictionary(plist_t node, int depth) {
  QVariantMap map;
  plist_dict_iter rawIterator = nullptr;
  plist_dict_new_iter(node, &rawIterator);
  const MallocPtr iterator(static_cast<char*>(rawIterator));
  while (true) {
    char* rawKey = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(node, rawIterator, &rawKey, &item);
    const MallocPtr key(rawKey);
    if (!item) break;
    const QVariant value = convert(item, depth + 1);
    if (!value.isValid()) return {};
    map.insert(QString::fromUtf8(key.get()), value);
  }
  return map;
}

QVariant Converter::convertDate(plist_t node) {
  int32_t seconds = 0;
  int32_t microseconds = 0;
  plist_get_date_val(node, &seconds, &microseconds);
  // The getter saturates outside the int32 range.
  if (seconds == std::numeric_limits<int32_t>::min()) return dateFromXmlText(node);
  // The microseconds carry no sign: they point away from 2001.
  const qint64 fraction = seconds < 0 ? -qint64(microseconds) : qint64(microseconds);
  const qint64 ms = (qint64(seconds) + kSecondsFrom1970To2001) * 1000 + fraction / 1000;
  return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

QVariant Converter::dateFromXmlText(plist_t node) {
  const NodePtr copy(plist_copy(node));
  char* rawXml = nullptr;
  uint32_t length = 0;
  plist_to_xml(copy.get(), &rawXml, &length);
  const std::unique_ptr<char, XmlDeleter> xml(rawXml);
  if (!xml) return fail(QStringLiteral("a date that cannot be read"));
  PropertyListXmlReader reader(QByteArray(xml.get(), static_cast<qsizetype>(length)));
  const QVariant date = reader.read();
  if (date.typeId() != QMetaType::QDateTime)
    return fail(QStringLiteral("a date that cannot be read"));
  return date;
}

}  // namespace

QVariant PropertyListBinaryReader::parse(const QByteArray& bytes, QString* error) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) {
    *error = QStringLiteral("too large");
    return {};
  }
  plist_t raw = nullptr;
  plist_from_bin(bytes.constData(), static_cast<uint32_t>(bytes.size()), &raw);
  const NodePtr root(raw);
  if (!root) {
    *error = QStringLiteral("damaged binary property list");
    return {};
  }
  Converter converter;
  QVariant value = converter.convert(root.get(), 0);
  if (!value.isValid())
    *error = QStringLiteral("damaged binary property list: %1").arg(converter.error);
  return value;
}

#include "framework/toolkit/MutDictAdditions.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"

#include <QColor>
#include <QFont>

namespace {

QString tabs(int count) { return QString(std::max(count, 0), QLatin1Char('\t')); }

// The source text of one value, or nothing for a kind it cannot write.
std::optional<QString> valueSource(const QVariant& value, int depth) {
  switch (value.typeId()) {
    case QMetaType::QColor: {
      const QColor color = value.value<QColor>().toRgb();
      return QString::asprintf("[NSColor colorWithDeviceRed:%f green:%f blue:%f alpha:%f], ",
                               color.redF(), color.greenF(), color.blueF(), color.alphaF());
    }
    case QMetaType::QFont: {
      const QFont font = value.value<QFont>();
      return QStringLiteral("[NSFont fontWithName:@\"%1\" size:%2], ")
          .arg(font.family(), QString::asprintf("%f", font.pointSizeF()));
    }
    case QMetaType::QVariantMap:
      return MutDictAdditions::contentsAsSourceStringWithTabDepth(value.toMap(), depth + 1) +
             QStringLiteral(", ");
    default:
      break;
  }
  if (VariantNumbers::isNumber(value, true))
    return QString::asprintf("[NSNumber numberWithFloat:%f], ",
                             static_cast<double>(value.toFloat()));
  return std::nullopt;
}

}  // namespace

namespace MutDictAdditions {

std::optional<QVariantMap> dictionaryWithObjectsAndKeys(const QVariantList& objectsAndKeys) {
  if (objectsAndKeys.isEmpty() || !objectsAndKeys.first().isValid()) return std::nullopt;
  QVariantMap dictionary;
  for (qsizetype i = 0; i + 1 < objectsAndKeys.size(); i += 2) {
    const QVariant& object = objectsAndKeys[i];
    const QVariant& key = objectsAndKeys[i + 1];
    if (!object.isValid() || !key.isValid()) break;
    dictionary.insert(key.toString(), object);
  }
  return dictionary;
}

void recursivelyAddThisDict(QVariantMap& self, const QVariantMap& other) {
  for (auto it = other.constBegin(); it != other.constEnd(); ++it) {
    auto mine = self.find(it.key());
    const bool bothDictionaries = mine != self.end() && mine->typeId() == QMetaType::QVariantMap &&
                                  it->typeId() == QMetaType::QVariantMap;
    if (bothDictionaries) {
      QVariantMap merged = mine->toMap();
      recursivelyAddThisDict(merged, it->toMap());
      *mine = merged;
    } else {
      self.insert(it.key(), it.value());
    }
  }
}

QString contentsAsSourceStringWithTabDepth(const QVariantMap& self, int depth) {
  QString text = QStringLiteral("[[[NSDictionary dictionaryWithObjectsAndKeys:\n");
  for (auto it = self.constBegin(); it != self.constEnd(); ++it) {
    const std::optional<QString> value = valueSource(it.value(), depth);
    if (!value) {
      Log::line(
          QStringLiteral("\t\tERR: attempting to convert an unknown object class to a string: %1")
              .arg(QString::fromLatin1(it->typeName() ? it->typeName() : "nil")));
      continue;
    }
    text += tabs(depth + 1) + *value + QStringLiteral("@\"%1\",\n").arg(it.key());
  }
  text += tabs(depth + 1) + QStringLiteral("nil] mutableCopy] autorelease]");
  return text;
}

void addObjects(QVariantMap& self, const QVariantList& objects, const QStringList& forKeys) {
  if (objects.isEmpty() || forKeys.isEmpty() || objects.size() != forKeys.size()) return;
  for (qsizetype i = 0; i < forKeys.size(); ++i) self.insert(forKeys[i], objects[i]);
}

}  // namespace MutDictAdditions

#include "platform/foundation/KeyedArchive.h"

#include <QColor>
#include <QFont>
#include <QVariantList>
#include <QVariantMap>

namespace {

const QString kClassKey = QStringLiteral("$class");
const QString kColorClass = QStringLiteral("NSColor");
const QString kFontClass = QStringLiteral("NSFont");

QVariantMap archiveColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return {
      {kClassKey, kColorClass},
      {QStringLiteral("rgba"), QVariantList{rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()}}};
}

QVariantMap archiveFont(const QFont& font) {
  QVariantMap archived{{kClassKey, kFontClass},
                       {QStringLiteral("family"), font.family()},
                       {QStringLiteral("bold"), font.bold()},
                       {QStringLiteral("italic"), font.italic()}};
  if (font.pixelSize() > 0)
    archived.insert(QStringLiteral("pixelSize"), static_cast<qint64>(font.pixelSize()));
  else
    archived.insert(QStringLiteral("pointSize"), font.pointSizeF());
  return archived;
}

QVariant unarchiveColor(const QVariantMap& archived) {
  const QVariantList rgba = archived.value(QStringLiteral("rgba")).toList();
  if (rgba.size() != 4) return {};
  float components[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    const double component = rgba[i].toDouble(&ok);
    if (!ok) return {};
    components[i] = static_cast<float>(qBound(0.0, component, 1.0));
  }
  return QColor::fromRgbF(components[0], components[1], components[2], components[3]);
}

QVariant unarchiveFont(const QVariantMap& archived) {
  const QString family = archived.value(QStringLiteral("family")).toString();
  if (family.isEmpty()) return {};
  QFont font(family);
  const qint64 pixelSize = archived.value(QStringLiteral("pixelSize")).toLongLong();
  const double pointSize = archived.value(QStringLiteral("pointSize")).toDouble();
  if (pixelSize > 0 && pixelSize < 1000)
    font.setPixelSize(static_cast<int>(pixelSize));
  else if (pointSize > 0 && pointSize < 1000)
    font.setPointSizeF(pointSize);
  font.setBold(archived.value(QStringLiteral("bold")).toBool());
  font.setItalic(archived.value(QStringLiteral("italic")).toBool());
  return font;
}

}  // namespace

QVariant KeyedArchive::archive(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::QColor:
      return archiveColor(value.value<QColor>());
    case QMetaType::QFont:
      return archiveFont(value.value<QFont>());
    case QMetaType::QVariantMap: {
      QVariantMap result;
      const QVariantMap map = value.toMap();
      for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        result.insert(it.key(), archive(*it));
      return result;
    }
    case QMetaType::QVariantList: {
      QVariantList result;
      for (const QVariant& item : value.toList()) result.append(archive(item));
      return result;
    }
    default:
      return value;
  }
}

QVariant KeyedArchive::unarchive(const QVariant& archived) {
  if (archived.typeId() == QMetaType::QVariantList) {
    QVariantList result;
    for (const QVariant& item : archived.toList()) {
      const QVariant decoded = unarchive(item);
      if (decoded.isValid()) result.append(decoded);
    }
    return result;
  }
  if (archived.typeId() != QMetaType::QVariantMap) return archived;
  const QVariantMap map = archived.toMap();
  const QString className = map.value(kClassKey).toString();
  if (className == kColorClass) return unarchiveColor(map);
  if (className == kFontClass) return unarchiveFont(map);
  QVariantMap result;
  for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
    const QVariant decoded = unarchive(*it);
    if (decoded.isValid()) result.insert(it.key(), decoded);
  }
  return result;
}

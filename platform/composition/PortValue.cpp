#include "platform/composition/PortValue.h"

#include "platform/composition/CompositionFormat.h"

#include <QVariantList>
#include <cmath>
#include <QVariantMap>

namespace composition {

namespace {

bool isNumber(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return true;
    default:
      return false;
  }
}

// A colour dictionary {"red","green","blue","alpha"}; alpha defaults to 1.
PortValue colorFromMap(const QVariantMap& map) {
  for (const char* key : {kRedKey, kGreenKey, kBlueKey})
    if (!isNumber(map.value(key))) return {};
  const QVariant alpha = map.value(kAlphaKey, 1.0);
  if (!isNumber(alpha)) return {};
  return PortValue::color(QColor::fromRgbF(map.value(kRedKey).toFloat(),
                                           map.value(kGreenKey).toFloat(),
                                           map.value(kBlueKey).toFloat(), alpha.toFloat()));
}

PortValue fromMap(const QVariantMap& map) {
  if (map.contains(kRedKey)) return colorFromMap(map);
  const QVariant x = map.value(kXKey), y = map.value(kYKey);
  if (!isNumber(x) || !isNumber(y)) return {};
  if (!map.contains(kWidthKey) && !map.contains(kHeightKey))
    return PortValue::point(QPointF(x.toDouble(), y.toDouble()));
  const QVariant w = map.value(kWidthKey), h = map.value(kHeightKey);
  if (!isNumber(w) || !isNumber(h)) return {};
  return PortValue::rect(QRectF(x.toDouble(), y.toDouble(), w.toDouble(), h.toDouble()));
}

PortValue fromList(const QVariantList& list) {
  if (list.size() != 2 || !isNumber(list[0]) || !isNumber(list[1])) return {};
  return PortValue::point(QPointF(list[0].toDouble(), list[1].toDouble()));
}

}  // namespace

PortValue PortValue::fromVariant(const QVariant& value) {
  if (isNumber(value)) return number(value.toDouble());
  switch (value.typeId()) {
    case QMetaType::Bool:
      return boolean(value.toBool());
    case QMetaType::QString:
      return string(value.toString());
    case QMetaType::QColor:
      return color(value.value<QColor>());
    case QMetaType::QPointF:
      return point(value.toPointF());
    case QMetaType::QRectF:
      return rect(value.toRectF());
    case QMetaType::QImage:
      return cpuImage(value.value<QImage>());
    case QMetaType::QVariantMap:
      return fromMap(value.toMap());
    case QMetaType::QVariantList:
      return fromList(value.toList());
    default:
      break;
  }
  if (value.canConvert<image::Image>() && value.typeId() == qMetaTypeId<image::Image>())
    return filterImage(value.value<image::Image>());
  return {};
}

namespace {

std::optional<double> numeric(const PortValue::Storage& s) {
  if (const double* d = std::get_if<double>(&s)) return *d;
  if (const bool* b = std::get_if<bool>(&s)) return *b ? 1.0 : 0.0;
  if (const auto* i = std::get_if<PortValue::Index>(&s)) return double(i->value);
  return std::nullopt;
}

bool finite(const QRectF& r) {
  return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
         std::isfinite(r.height());
}

}  // namespace

std::optional<PortValue> PortValue::as(PortType type) const {
  switch (type) {
    case PortType::Number:
    case PortType::Boolean:
    case PortType::Index: {
      const std::optional<double> n = numeric(storage_);
      if (!n || !std::isfinite(*n)) return std::nullopt;
      if (type == PortType::Number) return number(*n);
      if (type == PortType::Boolean) return boolean(*n != 0.0);
      if (std::abs(*n) > 2147483647.0) return std::nullopt;
      return index(int(std::lround(*n)));
    }
    case PortType::String:
      if (get<QString>()) return *this;
      return std::nullopt;
    case PortType::Color:
      if (const QColor* c = get<QColor>(); c && c->isValid()) return color(c->toRgb());
      return std::nullopt;
    case PortType::Structure:
      if (const QPointF* p = get<QPointF>(); p && std::isfinite(p->x()) && std::isfinite(p->y()))
        return *this;
      if (const QRectF* r = get<QRectF>(); r && finite(*r)) return *this;
      return std::nullopt;
    case PortType::Image:
      if (const auto* t = get<gl::TextureHandle>(); t && t->isRectangle()) return std::nullopt;
      if (const QImage* i = get<QImage>(); i && i->isNull()) return std::nullopt;
      if (isEmpty() || isImage()) return *this;
      return std::nullopt;
  }
  return std::nullopt;
}

QVariant PortValue::toVariant() const {
  return std::visit(
      [](const auto& v) -> QVariant {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Index>)
          return QVariant(v.value);
        else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, bool> ||
                           std::is_same_v<T, QString> || std::is_same_v<T, QColor> ||
                           std::is_same_v<T, QPointF> || std::is_same_v<T, QRectF>)
          return QVariant::fromValue(v);
        else
          return QVariant();
      },
      storage_);
}

bool PortValue::isImage() const {
  return std::holds_alternative<gl::TextureHandle>(storage_) ||
         std::holds_alternative<image::Image>(storage_) || std::holds_alternative<QImage>(storage_);
}

}  // namespace composition

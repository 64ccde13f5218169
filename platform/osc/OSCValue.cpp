#include "platform/osc/OSCValue.h"

namespace {
OSCValue make(OSCValue::Type type) { return OSCValue::fromType(type); }
}  // namespace

OSCValue OSCValue::fromType(Type type) {
  OSCValue v;
  v.type_ = type;
  return v;
}

OSCValue OSCValue::fromInt(std::int32_t value) {
  OSCValue v = make(Int);
  v.bits_ = value;
  return v;
}

OSCValue OSCValue::fromFloat(float value) {
  OSCValue v = make(Float);
  v.real_ = value;
  return v;
}

OSCValue OSCValue::fromBool(bool value) {
  OSCValue v = make(Bool);
  v.bits_ = value ? 1 : 0;
  return v;
}

OSCValue OSCValue::fromString(const QString& value) {
  OSCValue v = make(String);
  v.bytes_ = value.toUtf8();
  return v;
}

OSCValue OSCValue::fromSymbol(const QString& value) {
  OSCValue v = make(Symbol);
  v.bytes_ = value.toUtf8();
  return v;
}

OSCValue OSCValue::fromBlob(const QByteArray& value) {
  OSCValue v = make(Blob);
  v.bytes_ = value;
  return v;
}

OSCValue OSCValue::fromInt64(std::int64_t value) {
  OSCValue v = make(Int64);
  v.bits_ = value;
  return v;
}

OSCValue OSCValue::fromDouble(double value) {
  OSCValue v = make(Double);
  v.real_ = value;
  return v;
}

OSCValue OSCValue::fromChar(char value) {
  OSCValue v = make(Char);
  v.bits_ = value;
  return v;
}

OSCValue OSCValue::fromFourBytes(Type type, std::uint32_t value) {
  OSCValue v = make(type);
  v.bits_ = value;
  return v;
}

OSCValue OSCValue::fromTimeTag(std::uint64_t value) {
  OSCValue v = make(TimeTag);
  v.bits_ = static_cast<std::int64_t>(value);
  return v;
}

double OSCValue::doubleValue() const {
  switch (type_) {
    case Int:
    case Int64:
    case Bool:
    case Char:
      return static_cast<double>(bits_);
    case Float:
    case Double:
      return real_;
    default:
      return 0.0;
  }
}

std::int32_t OSCValue::intValue() const {
  switch (type_) {
    case Int:
    case Bool:
    case Char:
      return static_cast<std::int32_t>(bits_);
    default: {
      const double d = doubleValue();
      if (!(d == d)) return 0;  // NaN
      if (d >= 2147483647.0) return 2147483647;
      if (d <= -2147483648.0) return -2147483647 - 1;
      return static_cast<std::int32_t>(d);
    }
  }
}

float OSCValue::floatValue() const { return static_cast<float>(doubleValue()); }

bool OSCValue::boolValue() const {
  if (type_ == Bool || type_ == Int || type_ == Int64 || type_ == Char) return bits_ != 0;
  return doubleValue() != 0.0;
}

QString OSCValue::stringValue() const {
  if (type_ == String || type_ == Symbol) return QString::fromUtf8(bytes_);
  return {};
}

QString OSCValue::description() const {
  switch (type_) {
    case Int:
    case Int64:
    case Char:
      return QString::number(bits_);
    case Float:
    case Double:
      return QString::number(real_);
    case Bool:
      return bits_ ? QStringLiteral("true") : QStringLiteral("false");
    case String:
    case Symbol:
      return QStringLiteral("\"%1\"").arg(stringValue());
    case Blob:
      return QStringLiteral("<blob, %1 bytes>").arg(bytes_.size());
    case Nil:
      return QStringLiteral("nil");
    case Infinity:
      return QStringLiteral("infinity");
    default:
      return QStringLiteral("0x%1").arg(static_cast<quint64>(bits_), 0, 16);
  }
}

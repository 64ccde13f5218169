#include "platform/osc/OSCValue.h"

OSCValue OSCValue::fromType(Type type) {
  OSCValue v;
  v.type_ = type;
  return v;
}

OSCValue OSCValue::withBits(Type type, std::int64_t bits) {
  OSCValue v = fromType(type);
  v.bits_ = bits;
  return v;
}

OSCValue OSCValue::withReal(Type type, double real) {
  OSCValue v = fromType(type);
  v.real_ = real;
  return v;
}

OSCValue OSCValue::withBytes(Type type, QByteArray bytes) {
  OSCValue v = fromType(type);
  v.bytes_ = std::move(bytes);
  return v;
}

OSCValue OSCValue::fromInt(std::int32_t value) { return withBits(Int, value); }
OSCValue OSCValue::fromFloat(float value) { return withReal(Float, value); }
OSCValue OSCValue::fromBool(bool value) { return withBits(Bool, value ? 1 : 0); }
OSCValue OSCValue::fromString(const QString& value) { return withBytes(String, value.toUtf8()); }
OSCValue OSCValue::fromSymbol(const QString& value) { return withBytes(Symbol, value.toUtf8()); }
OSCValue OSCValue::fromBlob(const QByteArray& value) { return withBytes(Blob, value); }
OSCValue OSCValue::fromInt64(std::int64_t value) { return withBits(Int64, value); }
OSCValue OSCValue::fromDouble(double value) { return withReal(Double, value); }
OSCValue OSCValue::fromChar(char value) { return withBits(Char, value); }
OSCValue OSCValue::fromFourBytes(Type type, std::uint32_t value) { return withBits(type, value); }
OSCValue OSCValue::fromTimeTag(std::uint64_t value) {
  return withBits(TimeTag, static_cast<std::int64_t>(value));
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

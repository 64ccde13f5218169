#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// One argument of an OSC message. Type codes 1 (integer), 2 (float) and 8
// (boolean, from the OSC types T and F) are the ones callers test for; the
// other codes name the rest of the OSC types.
class OSCValue {
 public:
  enum Type : int {
    Nil = 0,
    Int = 1,
    Float = 2,
    String = 3,
    MIDI = 5,
    TimeTag = 6,
    Infinity = 7,
    Bool = 8,
    Blob = 9,
    Int64 = 10,
    Double = 11,
    Char = 12,
    Symbol = 13,
  };

  OSCValue() = default;
  static OSCValue fromInt(std::int32_t v);
  static OSCValue fromFloat(float v);
  static OSCValue fromBool(bool v);
  static OSCValue fromString(const QString& v);
  static OSCValue fromSymbol(const QString& v);
  static OSCValue fromBlob(const QByteArray& v);
  static OSCValue fromInt64(std::int64_t v);
  static OSCValue fromDouble(double v);
  static OSCValue fromChar(char v);
  // The four bytes of a MIDI argument as sent: port, status, data 1, data 2.
  static OSCValue fromFourBytes(Type type, std::uint32_t v);
  static OSCValue fromTimeTag(std::uint64_t v);
  static OSCValue fromType(Type type);  // nil, infinity

  Type type() const { return type_; }
  // Numeric readings convert between the number types; other types read 0.
  std::int32_t intValue() const;
  float floatValue() const;
  bool boolValue() const;
  double doubleValue() const;
  std::int64_t int64Value() const { return static_cast<std::int64_t>(doubleValue()); }
  QString stringValue() const;
  const QByteArray& blobValue() const { return bytes_; }
  std::uint32_t fourBytesValue() const { return static_cast<std::uint32_t>(bits_); }
  std::uint64_t timeTagValue() const { return static_cast<std::uint64_t>(bits_); }

  QString description() const;
  bool operator==(const OSCValue& other) const = default;

 private:
  static OSCValue withBits(Type type, std::int64_t bits);
  static OSCValue withReal(Type type, double real);
  static OSCValue withBytes(Type type, QByteArray bytes);

  Type type_ = Nil;
  std::int64_t bits_ = 0;  // int, int64, bool, char, four-byte, time tag
  double real_ = 0.0;      // float, double
  QByteArray bytes_;       // string and symbol (UTF-8), blob
};

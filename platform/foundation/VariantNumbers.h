#pragma once

#include <QVariant>

// Property-list numbers arrive as any of Qt's integer or floating types
// (a file read gives qint64 or double, code passes int or float).
namespace VariantNumbers {

// True for every integer and floating type; booleans only when asked.
inline bool isNumber(const QVariant& value, bool countBooleans = false) {
  switch (value.typeId()) {
    case QMetaType::Bool:
      return countBooleans;
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
      return true;
    default:
      return false;
  }
}

}  // namespace VariantNumbers

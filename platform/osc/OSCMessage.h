#pragma once

#include "platform/osc/OSCValue.h"

#include <QString>
#include <QVarLengthArray>

#include <memory>

// One OSC message: an address and its arguments in order. `value` is the
// first argument, the one a single-valued control carries. Messages of up to
// two arguments (the usual controls) allocate nothing for them.
using OSCValueArray = QVarLengthArray<OSCValue, 2>;

class OSCMessage {
 public:
  OSCMessage() = default;
  explicit OSCMessage(QString address) : address_(std::move(address)) {}
  static std::shared_ptr<OSCMessage> createWithAddress(const QString& address);

  const QString& address() const { return address_; }
  void setAddress(const QString& address) { address_ = address; }

  void addInt(std::int32_t v) { values_.push_back(OSCValue::fromInt(v)); }
  void addFloat(float v) { values_.push_back(OSCValue::fromFloat(v)); }
  void addBool(bool v) { values_.push_back(OSCValue::fromBool(v)); }
  void addString(const QString& v) { values_.push_back(OSCValue::fromString(v)); }
  void addValue(const OSCValue& v) { values_.push_back(v); }

  // The first argument, or null when there is none.
  const OSCValue* value() const { return values_.empty() ? nullptr : &values_.front(); }
  const OSCValueArray& valueArray() const { return values_; }
  int valueCount() const { return static_cast<int>(values_.size()); }

  QString description() const;
  bool operator==(const OSCMessage& other) const {
    return address_ == other.address_ && values_ == other.values_;
  }

 private:
  QString address_;
  OSCValueArray values_;
};

#include "platform/osc/OSCLoCodec.h"

#include <QByteArray>

#include <array>
#include <cstring>

lo_message OSCLoCodec::toLo(const OSCMessage& message) {
  lo_message m = lo_message_new();
  for (const OSCValue& v : message.valueArray()) {
    switch (v.type()) {
      case OSCValue::Int:
        lo_message_add_int32(m, v.intValue());
        break;
      case OSCValue::Float:
        lo_message_add_float(m, v.floatValue());
        break;
      case OSCValue::Bool:
        if (v.boolValue())
          lo_message_add_true(m);
        else
          lo_message_add_false(m);
        break;
      case OSCValue::String:
        lo_message_add_string(m, v.blobValue().constData());
        break;
      case OSCValue::Symbol:
        lo_message_add_symbol(m, v.blobValue().constData());
        break;
      case OSCValue::Blob: {
        lo_blob blob =
            lo_blob_new(static_cast<int32_t>(v.blobValue().size()), v.blobValue().constData());
        lo_message_add_blob(m, blob);
        lo_blob_free(blob);
        break;
      }
      case OSCValue::Int64:
        lo_message_add_int64(m, v.int64Value());
        break;
      case OSCValue::Double:
        lo_message_add_double(m, v.doubleValue());
        break;
      case OSCValue::Char:
        lo_message_add_char(m, static_cast<char>(v.intValue()));
        break;
      case OSCValue::MIDI: {
        const std::uint32_t bits = v.fourBytesValue();
        uint8_t bytes[4] = {static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
                            static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
        lo_message_add_midi(m, bytes);
        break;
      }
      case OSCValue::TimeTag: {
        const std::uint64_t bits = v.timeTagValue();
        lo_message_add_timetag(
            m, lo_timetag{static_cast<uint32_t>(bits >> 32), static_cast<uint32_t>(bits)});
        break;
      }
      case OSCValue::Infinity:
        lo_message_add_infinitum(m);
        break;
      case OSCValue::Nil:
        lo_message_add_nil(m);
        break;
    }
  }
  return m;
}

lo_bundle OSCLoCodec::toLo(const OSCBundle& bundle) {
  lo_bundle b = lo_bundle_new(LO_TT_IMMEDIATE);
  for (const OSCMessage& message : bundle.elementArray()) {
    lo_message m = toLo(message);
    if (lo_bundle_add_message(b, message.address().toUtf8().constData(), m) != 0)
      lo_message_free(m);
  }
  return b;
}

namespace {
// liblo's arguments sit at 4-byte offsets in the packet: read them by copy,
// not through its (8-byte aligned) union.
template <class T>
T argument(const lo_arg* a) {
  T value;
  std::memcpy(&value, a, sizeof value);
  return value;
}
}  // namespace

OSCMessage OSCLoCodec::fromLo(const char* path, const char* types, lo_arg** argv, int argc) {
  OSCMessage message(address(path));
  if (!types || !argv) return message;
  const int count = std::min<int>(argc, static_cast<int>(std::strlen(types)));
  for (int i = 0; i < count; ++i) {
    const lo_arg* a = argv[i];
    const char* bytes = reinterpret_cast<const char*>(a);
    switch (types[i]) {
      case LO_INT32:
        message.addValue(OSCValue::fromInt(argument<std::int32_t>(a)));
        break;
      case LO_FLOAT:
        message.addValue(OSCValue::fromFloat(argument<float>(a)));
        break;
      case LO_TRUE:
        message.addValue(OSCValue::fromBool(true));
        break;
      case LO_FALSE:
        message.addValue(OSCValue::fromBool(false));
        break;
      case LO_STRING:
        message.addValue(OSCValue::fromString(QString::fromUtf8(bytes)));
        break;
      case LO_SYMBOL:
        message.addValue(OSCValue::fromSymbol(QString::fromUtf8(bytes)));
        break;
      case LO_BLOB: {
        auto blob = const_cast<lo_arg*>(a);
        message.addValue(OSCValue::fromBlob(QByteArray(static_cast<const char*>(lo_blob_dataptr(blob)),
                                                       static_cast<int>(lo_blob_datasize(blob)))));
        break;
      }
      case LO_INT64:
        message.addValue(OSCValue::fromInt64(argument<std::int64_t>(a)));
        break;
      case LO_DOUBLE:
        message.addValue(OSCValue::fromDouble(argument<double>(a)));
        break;
      case LO_CHAR:
        message.addValue(OSCValue::fromChar(static_cast<char>(argument<std::int32_t>(a))));
        break;
      case LO_MIDI: {
        const auto m = argument<std::array<std::uint8_t, 4>>(a);
        message.addValue(OSCValue::fromFourBytes(
            OSCValue::MIDI, (std::uint32_t{m[0]} << 24) | (std::uint32_t{m[1]} << 16) |
                                (std::uint32_t{m[2]} << 8) | std::uint32_t{m[3]}));
        break;
      }
      case LO_TIMETAG: {
        const auto t = argument<lo_timetag>(a);
        message.addValue(OSCValue::fromTimeTag((std::uint64_t{t.sec} << 32) | t.frac));
        break;
      }
      case LO_INFINITUM:
        message.addValue(OSCValue::fromType(OSCValue::Infinity));
        break;
      case LO_NIL:
      default:
        message.addValue(OSCValue::fromType(OSCValue::Nil));
        break;
    }
  }
  return message;
}

QString OSCLoCodec::address(const char* path) {
  if (!path) return {};
  const std::size_t length = std::strlen(path);
  constexpr std::size_t kLongest = 256;  // longer ones are rare: not cached
  if (length > kLongest) return QString::fromUtf8(path, static_cast<qsizetype>(length));
  struct Slot {
    QByteArray bytes;
    QString text;
  };
  thread_local std::array<Slot, 64> cache __attribute__((tls_model("initial-exec")));
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (std::size_t i = 0; i < length; ++i)
    hash = (hash ^ static_cast<unsigned char>(path[i])) * 16777619u;
  Slot& slot = cache[hash % cache.size()];
  if (static_cast<std::size_t>(slot.bytes.size()) != length ||
      std::memcmp(slot.bytes.constData(), path, length) != 0) {
    slot.bytes = QByteArray(path, static_cast<qsizetype>(length));
    slot.text = QString::fromUtf8(slot.bytes);
  }
  return slot.text;
}

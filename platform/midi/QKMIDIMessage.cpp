#include "platform/midi/QKMIDIMessage.h"

#include <algorithm>

QKMIDIMessage::QKMIDIMessage(std::uint8_t type, int channel, std::uint8_t data1, std::uint8_t data2)
    : data1_(data1 & 0x7F), data2_(data2 & 0x7F) {
  if (type < 0x80) return;  // not a status: stays invalid
  if (type < 0xF0) {
    type_ = type & 0xF0;
    channel_ = static_cast<std::uint8_t>(std::clamp(channel, 1, 16));
  } else {
    type_ = type;
  }
  const int length = dataLength(type_);
  if (length < 2) data2_ = 0;
  if (length < 1) data1_ = 0;
}

std::shared_ptr<QKMIDIMessage> QKMIDIMessage::createFromVals(std::uint8_t type, int channel,
                                                             std::uint8_t data1,
                                                             std::uint8_t data2) {
  return std::make_shared<QKMIDIMessage>(type, channel, data1, data2);
}

QKMIDIMessage QKMIDIMessage::createSysex(const QByteArray& data) {
  QKMIDIMessage message(0xF0, 0, 0, 0);
  message.sysex_ = data;
  return message;
}

int QKMIDIMessage::dataLength(std::uint8_t status) {
  switch (status & 0xF0) {
    case 0x80:
    case 0x90:
    case 0xA0:
    case 0xB0:
    case 0xE0:
      return 2;
    case 0xC0:
    case 0xD0:
      return 1;
    default:
      break;
  }
  switch (status) {
    case 0xF1:  // time-code quarter frame
    case 0xF3:  // song select
      return 1;
    case 0xF2:  // song position
      return 2;
    default:
      return 0;
  }
}

std::vector<unsigned char> QKMIDIMessage::bytes() const {
  if (!isValid()) return {};
  std::vector<unsigned char> out;
  if (type_ == 0xF0) {
    out.reserve(static_cast<std::size_t>(sysex_.size()) + 2);
    out.push_back(0xF0);
    for (char c : sysex_) out.push_back(static_cast<unsigned char>(c) & 0x7F);
    out.push_back(0xF7);
    return out;
  }
  unsigned char bytes[3];
  const std::size_t count = writeShortBytes(bytes);
  out.assign(bytes, bytes + count);
  return out;
}

std::size_t QKMIDIMessage::writeShortBytes(unsigned char (&out)[3]) const {
  if (!isValid() || type_ == 0xF0) return 0;
  const int length = dataLength(type_);
  out[0] = isChannelMessage() ? static_cast<unsigned char>(type_ | (channel_ - 1)) : type_;
  out[1] = data1_;
  out[2] = data2_;
  return static_cast<std::size_t>(1 + length);
}

QString QKMIDIMessage::description() const {
  if (type_ == 0xF0) return QStringLiteral("<QKMIDIMessage sysex, %1 bytes>").arg(sysex_.size());
  return QStringLiteral("<QKMIDIMessage 0x%1 ch. %2: %3, %4>")
      .arg(type_, 2, 16, QLatin1Char('0'))
      .arg(channel_)
      .arg(data1_)
      .arg(data2_);
}

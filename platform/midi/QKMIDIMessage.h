#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// One MIDI message.
//
// `type` is the status byte with the channel cleared for channel messages
// (0x80 note off, 0x90 note on, 0xA0 aftertouch, 0xB0 control change,
// 0xC0 program change, 0xD0 channel pressure, 0xE0 pitch wheel) and the whole
// status byte for system messages (0xF0 system exclusive, 0xF8 timing clock,
// 0xFA start, 0xFC stop …). Channels are numbered 1 to 16; a system message
// has channel 0. Data bytes hold 7 bits; a system-exclusive message carries
// its bytes (without 0xF0 and 0xF7) in `sysexData`.
class QKMIDIMessage {
 public:
  QKMIDIMessage() = default;
  // A channel (1..16, clamped) is kept only for channel messages; data
  // bytes keep their low 7 bits.
  QKMIDIMessage(std::uint8_t type, int channel, std::uint8_t data1, std::uint8_t data2);

  static std::shared_ptr<QKMIDIMessage> createFromVals(std::uint8_t type, int channel,
                                                       std::uint8_t data1, std::uint8_t data2);
  static QKMIDIMessage createSysex(const QByteArray& data);

  std::uint8_t type() const { return type_; }
  int channel() const { return channel_; }
  std::uint8_t data1() const { return data1_; }
  std::uint8_t data2() const { return data2_; }
  const QByteArray& sysexData() const { return sysex_; }

  bool isValid() const { return type_ >= 0x80; }
  bool isChannelMessage() const { return type_ >= 0x80 && type_ < 0xF0; }
  // Timing clock, start and stop: the messages a tempo follower takes.
  bool isClockMessage() const { return type_ == 0xF8 || type_ == 0xFA || type_ == 0xFC; }

  // The bytes on the wire (status with the channel, then the data bytes);
  // empty for an invalid message.
  std::vector<unsigned char> bytes() const;
  // A message other than system exclusive written into `out` (at most three
  // bytes) without allocating; answers the count, 0 for an invalid message
  // or system exclusive.
  std::size_t writeShortBytes(unsigned char (&out)[3]) const;

  // Number of data bytes that follow a status byte (0 for system exclusive,
  // which runs to 0xF7, and for statuses without data).
  static int dataLength(std::uint8_t status);

  QString description() const;

  bool operator==(const QKMIDIMessage& other) const = default;

 private:
  std::uint8_t type_ = 0;
  std::uint8_t channel_ = 0;
  std::uint8_t data1_ = 0;
  std::uint8_t data2_ = 0;
  QByteArray sysex_;
};

using QKMIDIMessageArray = std::vector<QKMIDIMessage>;

Q_DECLARE_METATYPE(QKMIDIMessage)

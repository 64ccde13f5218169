#pragma once

#include "platform/midi/QKMIDIMessage.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Turns a MIDI byte stream from one source into messages. The state (running
// status, a message or system-exclusive block in progress) carries over from
// one chunk to the next, so a message split across deliveries is joined.
//
// Hostile or broken streams never invent values: data bytes without a status
// are dropped, a message cut short by another status is dropped, real-time
// bytes are delivered wherever they appear (also inside other messages), and
// a system-exclusive block longer than `kMaxSysexBytes` is dropped whole.
class QKMIDIParser {
 public:
  static constexpr int kMaxSysexBytes = 64 * 1024;

  // Appends the complete messages found in the bytes to `out`.
  void parse(const unsigned char* bytes, std::size_t count, QKMIDIMessageArray& out);
  QKMIDIMessageArray parse(const unsigned char* bytes, std::size_t count);
  void reset();

  // Bytes dropped since the start (stray data, cut-short messages, overlong
  // system exclusive).
  std::size_t droppedBytes() const { return dropped_; }

 private:
  void statusByte(std::uint8_t status, QKMIDIMessageArray& out);
  void dataByte(std::uint8_t data, QKMIDIMessageArray& out);
  void dropPending();

  std::uint8_t status_ = 0;  // the status that data bytes now belong to, or 0
  bool runningStatus_ = false;
  std::uint8_t data_[2] = {0, 0};
  int have_ = 0;
  int need_ = 0;
  bool inSysex_ = false;
  bool sysexOverflow_ = false;
  QByteArray sysex_;
  std::size_t dropped_ = 0;
};

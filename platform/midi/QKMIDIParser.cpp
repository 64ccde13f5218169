#include "platform/midi/QKMIDIParser.h"

void QKMIDIParser::parse(const unsigned char* bytes, std::size_t count, QKMIDIMessageArray& out) {
  if (!bytes) return;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t byte = bytes[i];
    if (byte & 0x80)
      statusByte(byte, out);
    else
      dataByte(byte, out);
  }
}

QKMIDIMessageArray QKMIDIParser::parse(const unsigned char* bytes, std::size_t count) {
  QKMIDIMessageArray out;
  parse(bytes, count, out);
  return out;
}

void QKMIDIParser::reset() {
  status_ = 0;
  runningStatus_ = false;
  have_ = need_ = 0;
  inSysex_ = sysexOverflow_ = false;
  sysex_.clear();
}

void QKMIDIParser::dropPending() {
  if (status_ != 0 && (have_ > 0 || !runningStatus_))
    dropped_ += static_cast<std::size_t>(have_) + (runningStatus_ ? 0 : 1);
  have_ = 0;
}

void QKMIDIParser::statusByte(std::uint8_t status, QKMIDIMessageArray& out) {
  if (status >= 0xF8) {  // real time: may appear anywhere, changes nothing
    out.emplace_back(status, 0, 0, 0);
    return;
  }
  if (inSysex_) {
    inSysex_ = false;
    if (status == 0xF7 && !sysexOverflow_) {
      out.push_back(QKMIDIMessage::createSysex(sysex_));
    } else {
      dropped_ += static_cast<std::size_t>(sysex_.size()) + 1;
    }
    sysex_.clear();
    sysexOverflow_ = false;
    if (status == 0xF7) return;
  } else if (status == 0xF7) {
    ++dropped_;  // end of a block that never began
    return;
  }
  dropPending();
  if (status == 0xF0) {
    inSysex_ = true;
    status_ = 0;
    return;
  }
  const int length = QKMIDIMessage::dataLength(status);
  if (status >= 0xF0 && length == 0) {  // tune request, or undefined 0xF4 / 0xF5
    status_ = 0;
    if (status == 0xF6)
      out.emplace_back(status, 0, 0, 0);
    else
      ++dropped_;
    return;
  }
  status_ = status;
  runningStatus_ = false;
  need_ = length;
}

void QKMIDIParser::dataByte(std::uint8_t data, QKMIDIMessageArray& out) {
  if (inSysex_) {
    if (!sysexOverflow_ && sysex_.size() >= kMaxSysexBytes) {
      sysexOverflow_ = true;
      dropped_ += static_cast<std::size_t>(sysex_.size());
      sysex_.clear();
    }
    if (sysexOverflow_)
      ++dropped_;
    else
      sysex_.append(static_cast<char>(data));
    return;
  }
  if (status_ == 0) {
    ++dropped_;  // a data byte without a status to belong to
    return;
  }
  data_[have_++] = data;
  if (have_ < need_) return;
  out.emplace_back(status_, (status_ & 0x0F) + 1, data_[0], need_ > 1 ? data_[1] : 0);
  have_ = 0;
  if (status_ < 0xF0) {
    runningStatus_ = true;  // further data bytes repeat this status
  } else {
    status_ = 0;  // system common messages have no running status
  }
}

#include "platform/osc/OSCFloatBundleWriter.h"

#include <cstring>

namespace {
constexpr char kBundleHead[8] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', '\0'};
constexpr std::size_t kHeaderSize = 16;  // "#bundle\0" and the time tag
constexpr char kFloatTags[4] = {',', 'f', '\0', '\0'};
}  // namespace

QByteArray OSCFloatBundleWriter::encodeAddress(const QString& address) {
  QByteArray encoded = address.toUtf8();
  encoded.append('\0');
  while (encoded.size() % 4 != 0) encoded.append('\0');
  return encoded;
}

OSCFloatBundleWriter::OSCFloatBundleWriter(std::size_t maxPacket) : maxPacket_(maxPacket) {
  buffer_.resize(4096);
  packets_.reserve(4);
}

void OSCFloatBundleWriter::clear() {
  used_ = 0;
  packets_.clear();
}

void OSCFloatBundleWriter::put32(std::uint32_t word) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(word >> 24), static_cast<unsigned char>(word >> 16),
      static_cast<unsigned char>(word >> 8), static_cast<unsigned char>(word)};
  std::memcpy(buffer_.data() + used_, bytes, 4);
  used_ += 4;
}

void OSCFloatBundleWriter::startBundle() {
  if (buffer_.size() < used_ + kHeaderSize) buffer_.resize((used_ + kHeaderSize) * 2);
  packets_.push_back({used_, kHeaderSize});
  std::memcpy(buffer_.data() + used_, kBundleHead, sizeof kBundleHead);
  used_ += sizeof kBundleHead;
  put32(0);  // time tag 1: immediately
  put32(1);
}

void OSCFloatBundleWriter::addFloat(const QByteArray& encodedAddress, float value) {
  const std::size_t message = static_cast<std::size_t>(encodedAddress.size()) + 8;
  const std::size_t element = 4 + message;
  if (packets_.empty() ||
      (packets_.back().size + element > maxPacket_ && packets_.back().size > kHeaderSize))
    startBundle();
  if (buffer_.size() < used_ + element) buffer_.resize((used_ + element) * 2);
  put32(static_cast<std::uint32_t>(message));
  std::memcpy(buffer_.data() + used_, encodedAddress.constData(),
              static_cast<std::size_t>(encodedAddress.size()));
  used_ += static_cast<std::size_t>(encodedAddress.size());
  std::memcpy(buffer_.data() + used_, kFloatTags, sizeof kFloatTags);
  used_ += sizeof kFloatTags;
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  put32(bits);
  packets_.back().size += element;
}

const char* OSCFloatBundleWriter::packetData(std::size_t index) const {
  return buffer_.data() + packets_[index].offset;
}

std::size_t OSCFloatBundleWriter::packetSize(std::size_t index) const {
  return packets_[index].size;
}

#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <vector>

// Writes OSC 1.0 bundles of single-float messages into a buffer it keeps, so
// that a bundle a tick is built without allocating once the buffer has
// grown to the tick's size. Addresses are encoded once, by the caller, with
// `encodeAddress`; the bundle's time tag is "immediately".
//
// A bundle that would not fit in one UDP datagram is split: the elements go,
// in order, into as many bundles as needed (`packetCount`).
class OSCFloatBundleWriter {
 public:
  // The largest UDP payload over IPv4.
  static constexpr std::size_t kMaxDatagram = 65507;

  // The address as it stands in a message: its bytes, a terminating zero
  // and zeros up to a multiple of four.
  static QByteArray encodeAddress(const QString& address);

  explicit OSCFloatBundleWriter(std::size_t maxPacket = kMaxDatagram);

  // Starts over (keeps the buffer).
  void clear();
  // Appends a message of `encodedAddress` with one float.
  void addFloat(const QByteArray& encodedAddress, float value);
  bool isEmpty() const { return packets_.empty(); }

  std::size_t packetCount() const { return packets_.size(); }
  const char* packetData(std::size_t index) const;
  std::size_t packetSize(std::size_t index) const;

 private:
  void startBundle();
  void put32(std::uint32_t word);

  const std::size_t maxPacket_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  struct Packet {
    std::size_t offset;
    std::size_t size;
  };
  std::vector<Packet> packets_;
};

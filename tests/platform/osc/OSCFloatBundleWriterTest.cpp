#include "platform/osc/OSCFloatBundleWriter.h"

#include <lo/lo.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

QByteArray loBundleBytes(const std::vector<std::pair<QString, float>>& messages) {
  lo_bundle bundle = lo_bundle_new(LO_TT_IMMEDIATE);
  for (const auto& [address, value] : messages) {
    lo_message message = lo_message_new();
    lo_message_add_float(message, value);
    lo_bundle_add_message(bundle, address.toUtf8().constData(), message);
  }
  std::size_t size = 0;
  void* bytes = lo_bundle_serialise(bundle, nullptr, &size);
  QByteArray serialised(static_cast<const char*>(bytes), static_cast<qsizetype>(size));
  std::free(bytes);
  lo_bundle_free_recursive(bundle);
  return serialised;
}

QByteArray written(const OSCFloatBundleWriter& writer, std::size_t packet = 0) {
  return QByteArray(writer.packetData(packet), static_cast<qsizetype>(writer.packetSize(packet)));
}

// N = 1, 2 and 16 messages, over addresses of every length modulo four.
TEST(OSCFloatBundleWriter, WritesTheBytesLibloSerialises) {
  const QString addresses[] = {QStringLiteral("/a"), QStringLiteral("/ab"), QStringLiteral("/abc"),
                               QStringLiteral("/ZAPH/1"), QStringLiteral("/ZAPH/12")};
  for (int count : {1, 2, 16}) {
    std::vector<std::pair<QString, float>> messages;
    OSCFloatBundleWriter writer;
    for (int i = 0; i < count; ++i) {
      const QString& address = addresses[i % 5];
      const float value = 0.1f * static_cast<float>(i) - 0.05f;
      messages.emplace_back(address, value);
      writer.addFloat(OSCFloatBundleWriter::encodeAddress(address), value);
    }
    ASSERT_EQ(writer.packetCount(), 1u);
    EXPECT_EQ(written(writer), loBundleBytes(messages)) << count;
    writer.clear();
    EXPECT_TRUE(writer.isEmpty());
  }
}

TEST(OSCFloatBundleWriter, SplitsABundleThatOutgrowsADatagramInOrder) {
  // Header 16, each element 4 + 8 ("/ab\0") + 8 = 20: two elements a packet.
  OSCFloatBundleWriter writer(56);
  const QByteArray address = OSCFloatBundleWriter::encodeAddress(QStringLiteral("/ab"));
  for (int i = 0; i < 5; ++i) writer.addFloat(address, static_cast<float>(i));
  ASSERT_EQ(writer.packetCount(), 3u);
  EXPECT_EQ(written(writer, 0), loBundleBytes({{"/ab", 0.0f}, {"/ab", 1.0f}}));
  EXPECT_EQ(written(writer, 1), loBundleBytes({{"/ab", 2.0f}, {"/ab", 3.0f}}));
  EXPECT_EQ(written(writer, 2), loBundleBytes({{"/ab", 4.0f}}));
}

}  // namespace

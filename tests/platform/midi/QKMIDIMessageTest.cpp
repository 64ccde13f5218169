#include "platform/midi/QKMIDIMessage.h"
#include "platform/midi/QKMIDIParser.h"

#include <gtest/gtest.h>

#include <vector>

using Bytes = std::vector<unsigned char>;

TEST(QKMIDIMessage, ConstructionNormalisesTypeChannelAndData) {
  struct Case {
    const char* what;
    QKMIDIMessage message;
    std::uint8_t type;
    int channel;
    std::uint8_t data1, data2;
    Bytes wire;
  };
  const std::vector<Case> cases = {
      {"note on ch. 1", QKMIDIMessage(0x90, 1, 60, 127), 0x90, 1, 60, 127, {0x90, 60, 127}},
      {"channel nibble in type is cleared",
       QKMIDIMessage(0x93, 16, 1, 2),
       0x90,
       16,
       1,
       2,
       {0x9F, 1, 2}},
      {"channel 0 clamps to 1", QKMIDIMessage(0xB0, 0, 7, 64), 0xB0, 1, 7, 64, {0xB0, 7, 64}},
      {"channel 17 clamps to 16", QKMIDIMessage(0xB0, 17, 7, 64), 0xB0, 16, 7, 64, {0xBF, 7, 64}},
      {"data bytes keep 7 bits",
       QKMIDIMessage(0xE0, 3, 0xFF, 0x80),
       0xE0,
       3,
       0x7F,
       0,
       {0xE2, 0x7F, 0}},
      {"program change has one data byte", QKMIDIMessage(0xC0, 2, 5, 99), 0xC0, 2, 5, 0, {0xC1, 5}},
      {"clock has no channel, no data", QKMIDIMessage(0xF8, 5, 1, 2), 0xF8, 0, 0, 0, {0xF8}},
      {"song position keeps two bytes", QKMIDIMessage(0xF2, 0, 1, 2), 0xF2, 0, 1, 2, {0xF2, 1, 2}},
      {"a data byte is no type", QKMIDIMessage(0x45, 1, 1, 1), 0x00, 0, 1, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.message.type(), c.type);
    EXPECT_EQ(c.message.channel(), c.channel);
    EXPECT_EQ(c.message.data1(), c.data1);
    EXPECT_EQ(c.message.data2(), c.data2);
    EXPECT_EQ(c.message.bytes(), c.wire);
  }
  EXPECT_EQ(*QKMIDIMessage::createFromVals(0xB0, 1, 7, 64), QKMIDIMessage(0xB0, 1, 7, 64));
  EXPECT_EQ(QKMIDIMessage::createSysex(QByteArray("\x01\x02", 2)).bytes(),
            (Bytes{0xF0, 1, 2, 0xF7}));
}

TEST(QKMIDIParser, StreamsBecomeMessagesWithoutInventedValues) {
  struct Case {
    const char* what;
    Bytes stream;
    std::vector<QKMIDIMessage> expected;
  };
  const QKMIDIMessage clock(0xF8, 0, 0, 0);
  const std::vector<Case> cases = {
      {"plain note on and off",
       {0x90, 60, 100, 0x80, 60, 0},
       {QKMIDIMessage(0x90, 1, 60, 100), QKMIDIMessage(0x80, 1, 60, 0)}},
      {"running status repeats the last channel status",
       {0xB2, 7, 1, 7, 2, 8, 3},
       {QKMIDIMessage(0xB0, 3, 7, 1), QKMIDIMessage(0xB0, 3, 7, 2), QKMIDIMessage(0xB0, 3, 8, 3)}},
      {"stray data bytes before any status are dropped",
       {5, 6, 7, 0xC0, 9},
       {QKMIDIMessage(0xC0, 1, 9, 0)}},
      {"a message cut short by another status is dropped",
       {0x90, 60, 0xB0, 1, 2},
       {QKMIDIMessage(0xB0, 1, 1, 2)}},
      {"real time inside a message does not break it",
       {0x90, 60, 0xF8, 100},
       {clock, QKMIDIMessage(0x90, 1, 60, 100)}},
      {"real time inside system exclusive",
       {0xF0, 1, 0xF8, 2, 0xF7},
       {clock, QKMIDIMessage::createSysex(QByteArray("\x01\x02", 2))}},
      {"system exclusive cancels running status",
       {0x90, 1, 2, 0xF0, 5, 0xF7, 3, 4},
       {QKMIDIMessage(0x90, 1, 1, 2), QKMIDIMessage::createSysex(QByteArray("\x05", 1))}},
      {"system exclusive cut short by a status is dropped",
       {0xF0, 1, 2, 0x90, 1, 2},
       {QKMIDIMessage(0x90, 1, 1, 2)}},
      {"stray end of exclusive is dropped", {0xF7, 0xFA}, {QKMIDIMessage(0xFA, 0, 0, 0)}},
      {"system common has no running status", {0xF3, 4, 5}, {QKMIDIMessage(0xF3, 0, 4, 0)}},
      {"undefined statuses carry nothing",
       {0xF4, 1, 0xF5, 2, 0xF9},
       {QKMIDIMessage(0xF9, 0, 0, 0)}},
      {"clock, start, stop",
       {0xFA, 0xF8, 0xFC},
       {QKMIDIMessage(0xFA, 0, 0, 0), clock, QKMIDIMessage(0xFC, 0, 0, 0)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QKMIDIParser parser;
    EXPECT_EQ(parser.parse(c.stream.data(), c.stream.size()), c.expected);
  }
}

TEST(QKMIDIParser, StateCarriesAcrossChunks) {
  QKMIDIParser parser;
  const Bytes first = {0x91, 64};
  const Bytes second = {90, 65, 91};
  EXPECT_TRUE(parser.parse(first.data(), first.size()).empty());
  EXPECT_EQ(
      parser.parse(second.data(), second.size()),
      (std::vector<QKMIDIMessage>{QKMIDIMessage(0x90, 2, 64, 90), QKMIDIMessage(0x90, 2, 65, 91)}));
}

TEST(QKMIDIParser, OverlongSystemExclusiveIsDroppedAndParsingGoesOn) {
  QKMIDIParser parser;
  Bytes stream = {0xF0};
  stream.insert(stream.end(), QKMIDIParser::kMaxSysexBytes + 10, 0x11);
  stream.insert(stream.end(), {0xF7, 0x90, 1, 2});
  EXPECT_EQ(parser.parse(stream.data(), stream.size()),
            (std::vector<QKMIDIMessage>{QKMIDIMessage(0x90, 1, 1, 2)}));
  EXPECT_GT(parser.droppedBytes(), static_cast<std::size_t>(QKMIDIParser::kMaxSysexBytes));
}

TEST(QKMIDIParser, RandomNoiseNeverYieldsOutOfRangeMessages) {
  QKMIDIParser parser;
  unsigned state = 12345;
  Bytes noise(200000);
  for (auto& b : noise)
    b = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 16);
  for (const QKMIDIMessage& m : parser.parse(noise.data(), noise.size())) {
    ASSERT_TRUE(m.isValid());
    ASSERT_LT(m.data1(), 0x80);
    ASSERT_LT(m.data2(), 0x80);
    if (m.isChannelMessage()) {
      ASSERT_GE(m.channel(), 1);
      ASSERT_LE(m.channel(), 16);
    }
  }
}

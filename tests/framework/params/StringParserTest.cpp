#include "framework/params/QKStringParser.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using Range = QKStringParser::Range;
constexpr auto Character = QKStringParser::Character;
constexpr auto Word = QKStringParser::Word;
constexpr auto Sentence = QKStringParser::Sentence;
constexpr auto Line = QKStringParser::Line;
constexpr auto NoLoop = QKStringParser::NoLoop;
constexpr auto Loop = QKStringParser::Loop;

const QString kDefault = QStringLiteral("Default text and words. What fun!");

struct StepCase {
  QString text;
  int mode;
  int loop;
  qsizetype start;  // where the range starts (length 1, then snapped)
  int steps;
  QString expected;
};

TEST(StringParserTest, SteppingTable) {
  const QString emoji = QStringLiteral("a\U0001F600b");
  const StepCase cases[] = {
      {kDefault, Word, Loop, 0, 1, "text"},
      {kDefault, Word, Loop, 0, 0, "Default "},  // snapping pads the word
      {kDefault, Word, Loop, 8, -1, "Default"},
      {kDefault, Word, Loop, 29, 1, "Default"},
      {kDefault, Word, NoLoop, 29, 1, "fun!"},
      {kDefault, Word, Loop, 0, -1, "fun!"},
      {kDefault, Word, NoLoop, 0, -1, "Default"},
      {kDefault, Word, Loop, 0, 4, "What"},
      {kDefault, Word, 7, 29, 1, "Default"},  // any loop mode but 0 loops
      {kDefault, Character, NoLoop, 0, -1, "D"},
      {kDefault, Character, Loop, 0, -1, "!"},
      {kDefault, Character, Loop, 0, 2, "f"},
      {kDefault, Character, NoLoop, 32, 1, "!"},
      {kDefault, Character, Loop, 32, 1, "D"},
      {kDefault, Sentence, Loop, 0, 1, "What fun!"},
      {kDefault, Sentence, Loop, 25, -1, "Default text and words. "},
      {kDefault, Sentence, NoLoop, 25, 1, "What fun!"},
      {"one\r\ntwo\r\nthree", Line, NoLoop, 0, 1, "two"},
      {"one\r\ntwo\r\nthree", Line, NoLoop, 0, 2, "three"},
      {"one\r\ntwo\r\nthree", Line, NoLoop, 10, -1, "two"},
      {"one\r\ntwo\r\nthree", Line, Loop, 10, 1, "one"},
      {"one\ntwo", Line, Loop, 0, -1, "two"},
      {"a\n\nb", Line, NoLoop, 0, 1, " "},  // an empty unit
      {"a\n\nb", Line, NoLoop, 0, 2, "b"},
      {emoji, Character, NoLoop, 0, 1, QStringLiteral("\U0001F600")},
      {emoji, Character, NoLoop, 0, 2, "b"},
      {emoji, Character, NoLoop, 3, -1, QStringLiteral("\U0001F600")},
      {emoji, Character, NoLoop, 2, 0, QStringLiteral("\U0001F600")},  // the pair's second half
      {QStringLiteral("x\U0001F600"), Character, Loop, 0, -1, QStringLiteral("\U0001F600")},
  };
  for (const StepCase& c : cases) {
    QKStringParser parser;
    parser.setParseMode(c.mode);
    parser.setLoopMode(c.loop);
    parser.setOriginalString(c.text);
    parser.setCurrentRange({c.start, 1});
    parser.parseBy(c.steps);
    EXPECT_EQ(parser.currentString(), c.expected)
        << c.text.toStdString() << " mode " << c.mode << " loop " << c.loop << " from " << c.start
        << " by " << c.steps;
  }
}

TEST(StringParserTest, UnitFinders) {
  QKStringParser parser;
  parser.setOriginalString(kDefault);
  EXPECT_EQ(parser.findWordAround(2), (Range{0, 7}));
  EXPECT_EQ(parser.findWordAround(7), (Range{0, 7}));    // from a separator, the word before it
  EXPECT_EQ(parser.findWordAround(18), (Range{17, 6}));  // "words." takes its full stop
  EXPECT_EQ(parser.findWordWithPaddingAround(17), (Range{17, 7}));
  EXPECT_EQ(parser.findNextWord(22), (Range{24, 4}));
  EXPECT_EQ(parser.findPrevWord(23), (Range{17, 6}));
  EXPECT_EQ(parser.findSentenceAround(3), (Range{0, 24}));
  EXPECT_EQ(parser.findNextSentence(24), (Range{24, 9}));
  EXPECT_EQ(parser.findPrevSentence(23), (Range{0, 24}));
  EXPECT_EQ(parser.findParagraphAround(12), (Range{0, 1}));

  QKStringParser empty;
  EXPECT_EQ(empty.findWordAround(3), (Range{0, 0}));
  EXPECT_EQ(empty.findSentenceAround(3), (Range{0, 1}));
  EXPECT_EQ(empty.findLineAround(3), (Range{0, 1}));
}

TEST(StringParserTest, ANewShorterTextRestartsAtTheStart) {
  QKStringParser parser;
  parser.setParseMode(Word);
  parser.setOriginalString(kDefault);
  parser.setCurrentRange({29, 1});
  ASSERT_EQ(parser.currentString(), QStringLiteral("fun!"));
  parser.setOriginalString(QStringLiteral("Hi there"));
  EXPECT_EQ(parser.currentRange().location, 0);
  EXPECT_EQ(parser.currentString(), QStringLiteral("Hi "));
  // A longer text keeps the place.
  parser.setCurrentRange({3, 1});
  parser.setOriginalString(QStringLiteral("Hi there again"));
  EXPECT_EQ(parser.currentString(), QStringLiteral("there "));
}

TEST(StringParserTest, NoTextAnEmptyTextAndUnknownModes) {
  QKStringParser parser;
  parser.parseBy(1);
  EXPECT_TRUE(parser.currentString().isNull());

  LogCapture log;
  parser.setOriginalString(QString());
  EXPECT_TRUE(log.contains("\t\terr: string  length was 0"));
  EXPECT_TRUE(parser.currentString().isNull());

  parser.setOriginalString(kDefault);
  parser.setParseMode(9);
  parser.setCurrentRange({5, 3});
  parser.parseBy(2);
  EXPECT_EQ(parser.currentRange(), (Range{5, 3}));
  EXPECT_EQ(parser.currentString(), QStringLiteral("lt "));
}

// The render thread reads the unit while the main thread steps; run under
// ThreadSanitizer this shows any unguarded access.
TEST(StringParserTest, CurrentStringIsReadWhileStepping) {
  QKStringParser parser;
  parser.setParseMode(Word);
  parser.setOriginalString(kDefault);
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::thread render([&] {
    while (!done.load()) {
      const QString unit = parser.currentString();
      if (!unit.isEmpty()) reads.fetch_add(1);
      EXPECT_TRUE(kDefault.contains(unit.trimmed()));
    }
  });
  for (int i = 0; i < 2000; ++i) parser.parseBy(i % 3 == 0 ? -1 : 1);
  while (reads.load() < 10) std::this_thread::yield();
  done.store(true);
  render.join();
}

}  // namespace

#include "platform/foundation/Log.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Log, LimitedLetsOneLinePerIntervalAndCountsTheRest) {
  std::vector<QString> lines;
  auto previous = Log::setSink([&](const QString& l) { lines.push_back(l); });
  Log::resetLimits();
  for (int i = 0; i < 10; ++i) Log::limited(QStringLiteral("k"), QStringLiteral("err"), 60.0);
  Log::limited(QStringLiteral("other"), QStringLiteral("other err"), 60.0);
  Log::limited(QStringLiteral("z"), QStringLiteral("again"), 0.0);
  Log::limited(QStringLiteral("z"), QStringLiteral("again"), 0.0);
  Log::setSink(previous);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], QStringLiteral("err"));
  EXPECT_EQ(lines[1], QStringLiteral("other err"));
}

TEST(Log, FormatUsesTheCLocale) {
  std::vector<QString> lines;
  auto previous = Log::setSink([&](const QString& l) { lines.push_back(l); });
  Log::format("\t\terr: %s %.2f", "x", 1.5);
  Log::setSink(previous);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], QStringLiteral("\t\terr: x 1.50"));
}

TEST(Log, RecentLinesKeepTheLastLinesOldestFirst) {
  auto previous = Log::setSink([](const QString&) {});
  const int total = Log::kRecentLineCount + 3;
  for (int i = 0; i < total; ++i) Log::line(QStringLiteral("line %1").arg(i));
  Log::setSink(previous);
  const QStringList recent = Log::recentLines();
  ASSERT_EQ(recent.size(), Log::kRecentLineCount);
  EXPECT_EQ(recent.first(), QStringLiteral("line 3"));
  EXPECT_EQ(recent.last(), QStringLiteral("line %1").arg(total - 1));
}

TEST(Log, ControlCharactersAreEscapedAndLeadingTabsKept) {
  struct Case {
    const char* what;
    QString text;
    QString logged;
  };
  const std::vector<Case> cases = {
      {"plain text stays", QStringLiteral("\t\terr: port 9000"),
       QStringLiteral("\t\terr: port 9000")},
      {"a forged second line", QStringLiteral("\t\terr: /x\n\t\terr: forged"),
       QStringLiteral("\t\terr: /x\\n\\t\\terr: forged")},
      {"carriage return", QStringLiteral("a\rb"), QStringLiteral("a\\rb")},
      {"terminal escape", QStringLiteral("\t\033[31mred"), QStringLiteral("\t\\e[31mred")},
      {"other C0 and DEL", QString::fromUtf8("\x01x\x7f"), QStringLiteral("\\x01x\\x7f")},
      {"NUL", QString(QChar(0)) + QStringLiteral("z"), QStringLiteral("\\x00z")},
      {"C1 control", QStringLiteral("a") + QChar(0x85) + QChar(0x9B) + QStringLiteral("b"),
       QStringLiteral("a\\u0085\\u009bb")},
      {"line separator", QStringLiteral("a") + QChar(0x2028) + QStringLiteral("b"),
       QStringLiteral("a\\u2028b")},
      {"text past the separator keeps its letters", QStringLiteral("é\nü"),
       QStringLiteral("é\\nü")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<QString> lines;
    auto previous = Log::setSink([&](const QString& l) { lines.push_back(l); });
    Log::line(c.text);
    Log::setSink(previous);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], c.logged);
    EXPECT_EQ(Log::recentLines().last(), c.logged);
  }
}

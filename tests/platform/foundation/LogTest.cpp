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

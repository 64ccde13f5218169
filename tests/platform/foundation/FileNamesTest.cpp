#include "platform/foundation/FileNames.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNames, EscapesWhatCouldLeaveTheFolderAndReadsItBack) {
  struct Case {
    QString name;
    QString file;
  };
  const Case cases[] = {
      {QStringLiteral("ramp"), QStringLiteral("ramp")},
      {QStringLiteral("a.b"), QStringLiteral("a.b")},
      {QStringLiteral("a/b"), QStringLiteral("a%2Fb")},
      {QStringLiteral(".."), QStringLiteral("%2E.")},
      {QStringLiteral("."), QStringLiteral("%2E")},
      {QStringLiteral("../x"), QStringLiteral("%2E.%2Fx")},
      {QStringLiteral("50%"), QStringLiteral("50%25")},
      {QStringLiteral("%2F"), QStringLiteral("%252F")},  // never the same file as "/"
      {QString(QChar(0)) + QStringLiteral("x"), QStringLiteral("%00x")},
      {QStringLiteral("Sägezahn ✓"), QStringLiteral("Sägezahn ✓")},
      {QString(), QString()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileNames::escaped(c.name), c.file) << c.name.toStdString();
    EXPECT_EQ(FileNames::unescaped(c.file), c.name) << c.file.toStdString();
    EXPECT_FALSE(FileNames::escaped(c.name).contains(QLatin1Char('/')));
  }
}

TEST(FileNames, KeepsStrayPercentSignsOfHandMadeFiles) {
  EXPECT_EQ(FileNames::unescaped(QStringLiteral("100%")), QStringLiteral("100%"));
  EXPECT_EQ(FileNames::unescaped(QStringLiteral("a%zzb")), QStringLiteral("a%zzb"));
  EXPECT_EQ(FileNames::unescaped(QStringLiteral("%4")), QStringLiteral("%4"));
}

}  // namespace

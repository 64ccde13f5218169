#include "framework/toolkit/StringAdditions.h"
#include "platform/foundation/Log.h"
#include "tests/support/TestEnvironment.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <unistd.h>

using namespace StringAdditions;

namespace {

struct RelativePathCase {
  const char* name;
  const char* from;
  const char* to;
  std::optional<const char*> expected;
};
void PrintTo(const RelativePathCase& c, std::ostream* os) {
  *os << '"' << c.from << "\" to \"" << c.to << '"';
}

class RelativePath : public testing::TestWithParam<RelativePathCase> {};

TEST_P(RelativePath, LocatesTheOtherPathFromTheFolderOfTheFirst) {
  const RelativePathCase& c = GetParam();
  const std::optional<QString> result =
      relativePathTo(QString::fromUtf8(c.from), QString::fromUtf8(c.to));
  if (!c.expected) {
    EXPECT_FALSE(result.has_value()) << result->toStdString();
    return;
  }
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->toStdString(), *c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RelativePath,
    testing::Values(RelativePathCase{"SiblingFolder", "/p/q/file", "/p/r/s", "../r/s"},
                    RelativePathCase{"Subfolder", "/p/file", "/p/r/s", "./r/s"},
                    RelativePathCase{"SameFolder", "/p/q/file", "/p/q/other", "./other"},
                    RelativePathCase{"FileInASubfolder", "/p/q/file", "/p/q/sub/clip.mov",
                                     "./sub/clip.mov"},
                    RelativePathCase{"ThreeLevelsUp", "/a/b/c/d/file", "/a/x", "../../../x"},
                    RelativePathCase{"OnlyTheRootShared", "/x/file", "/y/z", "../y/z"},
                    RelativePathCase{"TheFolderItself", "/p/q/file", "/p/q", "."},
                    RelativePathCase{"DoubledSlash", "/p//q/file", "/p/q/other", "./other"},
                    RelativePathCase{"TheFileItself", "/p/q/file", "/p/q/file", std::nullopt},
                    RelativePathCase{"EmptyPaths", "", "", std::nullopt},
                    RelativePathCase{"RelativeBaseKeepsAnAbsolutePath", "media/clip.mov",
                                     "/abs/clip.mov", "/abs/clip.mov"},
                    RelativePathCase{"AbsoluteBaseKeepsARelativePath", "/abs/clip.mov",
                                     "media/clip.mov", "media/clip.mov"},
                    RelativePathCase{"BothRelative", "media/a.mov", "media/b/c.mov", "./b/c.mov"}),
    [](const testing::TestParamInfo<RelativePathCase>& info) {
      return std::string(info.param.name);
    });

TEST(StringAdditions, TrimExtraSlashRemovesOneTrailingSlashOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"/a/b/", "/a/b"}, {"/a/b//", "/a/b/"}, {"/a/b", "/a/b"}, {"/", ""}, {"x", "x"}};
  for (const auto& [in, out] : cases)
    EXPECT_EQ(trimExtraSlashFromEnd(QString::fromUtf8(in)).toStdString(), out) << in;
}

TEST(StringAdditions, LastCharIsOneWholeCharacter) {
  EXPECT_EQ(lastChar(QStringLiteral("abc")), QStringLiteral("c"));
  EXPECT_EQ(lastChar(QStringLiteral("na\u00efve\u00e9")), QStringLiteral("\u00e9"));
  EXPECT_EQ(lastChar(QString::fromUtf8("clip \xF0\x9F\x98\x80")),
            QString::fromUtf8("\xF0\x9F\x98\x80"));
}

TEST(StringAdditions, ContainsString) {
  const struct {
    QString needle;
    bool expected;
  } cases[] = {{QStringLiteral("b"), true},  {QStringLiteral("abc"), true},
               {QStringLiteral("d"), false}, {QStringLiteral("B"), false},
               {QString(), false},           {QStringLiteral(""), false}};
  for (const auto& c : cases)
    EXPECT_EQ(containsString(QStringLiteral("abc"), c.needle), c.expected)
        << c.needle.toStdString();
}

TEST(StringAdditions, Sha1TextIsOverEveryUtf8Byte) {
  const std::pair<QString, const char*> cases[] = {
      {QStringLiteral(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {QStringLiteral("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {QStringLiteral("\u00e9"), "bf15be717ac1b080b4f1c456692825891ff5073d"},
      {QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                         "e, \xE6\x97\xA5\xE6\x9C\xAC"),
       "9bf5806d4c3000a05ca4cf77938b34ac28c9cf06"}};
  for (const auto& [text, hex] : cases) {
    EXPECT_EQ(sha1DigestString(text).toStdString(), hex) << text.toStdString();
    EXPECT_EQ(clearedWhitespaces(text).toStdString(), hex) << text.toStdString();
  }
}

TEST(StringAdditions, NameSortIgnoresCaseAndFolders) {
  const struct {
    const char* a;
    const char* b;
    std::weak_ordering expected;
  } cases[] = {{"/x/Beta.mov", "/y/alpha.mov", std::weak_ordering::greater},
               {"/z/alpha.mov", "/a/Beta.mov", std::weak_ordering::less},
               {"/x/ALPHA", "/y/alpha", std::weak_ordering::equivalent},
               {"/a/b/", "/c/a", std::weak_ordering::greater},
               {"clip", "/deep/folder/clip", std::weak_ordering::equivalent}};
  for (const auto& c : cases)
    EXPECT_TRUE(filePathNameSortMethod(QString::fromUtf8(c.a), QString::fromUtf8(c.b)) ==
                c.expected)
        << c.a << " vs " << c.b;

  QStringList paths{QStringLiteral("/m/c.qtz"), QStringLiteral("/a/B.qtz"),
                    QStringLiteral("/z/a.qtz")};
  std::sort(paths.begin(), paths.end(),
            [](const QString& l, const QString& r) { return filePathNameSortMethod(l, r) < 0; });
  EXPECT_EQ(paths, (QStringList{QStringLiteral("/z/a.qtz"), QStringLiteral("/a/B.qtz"),
                                QStringLiteral("/m/c.qtz")}));
}

class ModDateSort : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestEnvironment::makeTempDir(QStringLiteral("moddate"));
    previousSink_ = Log::setSink([this](const QString& line) { lines_ << line; });
  }
  void TearDown() override { Log::setSink(previousSink_); }

  QString fileWithTime(const QString& name, qint64 secondsSinceEpoch) {
    const QString path = dir_ + QLatin1Char('/') + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch),
                                 QFileDevice::FileModificationTime));
    return path;
  }

  QString dir_;
  QStringList lines_;
  Log::Sink previousSink_;
};

TEST_F(ModDateSort, OlderFilesComeFirst) {
  const QString old = fileWithTime(QStringLiteral("old"), 1000000);
  const QString fresh = fileWithTime(QStringLiteral("fresh"), 2000000);
  EXPECT_TRUE(filePathModDateSortMethod(old, fresh) < 0);
  EXPECT_TRUE(filePathModDateSortMethod(fresh, old) > 0);
  EXPECT_TRUE(filePathModDateSortMethod(old, old) == 0);
  EXPECT_TRUE(lines_.isEmpty());
}

TEST_F(ModDateSort, ADanglingLinkHasAttributesOfItsOwn) {
  const QString link = dir_ + QStringLiteral("/link");
  ASSERT_EQ(::symlink("/nonexistent/target", QFile::encodeName(link).constData()), 0);
  const QString old = fileWithTime(QStringLiteral("old"), 1000000);
  EXPECT_TRUE(filePathModDateSortMethod(old, link) < 0);
  EXPECT_TRUE(lines_.isEmpty());
}

TEST_F(ModDateSort, MissingFilesCompareAsSameAndAreLogged) {
  const QString present = fileWithTime(QStringLiteral("present"), 1000000);
  const QString missing = dir_ + QStringLiteral("/missing");

  EXPECT_TRUE(filePathModDateSortMethod(missing, present) == 0);
  EXPECT_EQ(lines_, (QStringList{QStringLiteral("\t\terr: my attribs dict is nil"),
                                 QStringLiteral("\t\terr: mod dates are nil")}));
  lines_.clear();
  EXPECT_TRUE(filePathModDateSortMethod(present, missing) == 0);
  EXPECT_EQ(lines_, (QStringList{QStringLiteral("\t\terr: attribs dict for passed is nil"),
                                 QStringLiteral("\t\terr: mod dates are nil")}));
}

}  // namespace

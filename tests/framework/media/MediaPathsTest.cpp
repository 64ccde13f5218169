// Relative paths of media files and the order in which a restored file
// looks for its media.
#include "framework/media/MediaPaths.h"
#include "framework/render/TheApplication.h"
#include "tests/framework/media/MediaTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {
QString folderOf(const QString& path) { return QFileInfo(path).absolutePath(); }
}  // namespace

TEST(MediaPaths, RelativePathsLeadFromTheFolderOfTheBaseAndBack) {
  struct Case {
    const char* base;
    const char* full;
    const char* relative;
  };
  const Case cases[] = {
      {"/proj/set.zaph", "/proj/clip.mov", "./clip.mov"},
      {"/proj/set.zaph", "/proj/media/a b.mov", "./media/a%20b.mov"},
      {"/proj/sets/set.zaph", "/proj/media/clip.mov", "../media/clip.mov"},
      {"/a/b/c/set.zaph", "/a/x/clip.mov", "../../x/clip.mov"},
      {"/proj/set.zaph", "/other/clip.mov", "../other/clip.mov"},
      {"/proj/set.zaph", "/proj/%20é?.mov", "./%2520%C3%A9%3F.mov"},
      {"/proj/set.zaph", "/proj/set.zaph", ""},
      {"", "/proj/clip.mov", ""},
  };
  for (const Case& c : cases) {
    const QString base = QString::fromUtf8(c.base);
    const QString full = QString::fromUtf8(c.full);
    const QString relative = MediaPaths::relativeToFileEscaped(base, full);
    EXPECT_EQ(relative.toStdString(), c.relative) << c.base << " -> " << c.full;
    if (!relative.isEmpty()) {
      EXPECT_EQ(MediaPaths::resolved(relative, folderOf(base)), full) << c.full;
    }
  }
}

TEST(MediaPaths, PathsBelowHomeStartWithTheFirstFolderBelowIt) {
  const QString home = MediaPaths::homeFolder();
  EXPECT_EQ(MediaPaths::relativeToHomeEscaped(home + "/Movies/clip.mov"),
            QStringLiteral("Movies/clip.mov"));
  EXPECT_EQ(MediaPaths::relativeToHomeEscaped(home), QString());
  const QString outside = QStringLiteral("/var/media/clip.mov");
  EXPECT_EQ(MediaPaths::resolved(MediaPaths::relativeToHomeEscaped(outside), home), outside);
}

TEST(MediaPaths, AbsoluteStoredPathsResolveToThemselves) {
  EXPECT_EQ(MediaPaths::resolved(QStringLiteral("/x/y%20z.mov"), QStringLiteral("/proj")),
            QStringLiteral("/x/y z.mov"));
  EXPECT_EQ(MediaPaths::resolved(QString(), QStringLiteral("/proj")), QString());
}

TEST(MediaPaths, TheFirstCandidateOnDiskWins) {
  const QString root = TestEnvironment::makeTempDir(QStringLiteral("paths"));
  const QString project = root + "/proj/set.zaph";
  const QString home = MediaPaths::homeFolder();
  const QString mediaFolder = TheApplication::pathToFolderNamed(QStringLiteral("media"));
  const QString nearProject = root + "/proj/clips/a.mov";
  const QString inHome = home + "/homeclips/a.mov";
  const QString inMedia = mediaFolder + "legacy/a.mov";
  const QString absolute = root + "/elsewhere/a.mov";
  for (const QString& path : {nearProject, inHome, inMedia, absolute}) ASSERT_TRUE(writeFile(path));

  const QVariantMap all{
      {MediaPaths::kRelPathToProjectKey, QStringLiteral("./clips/a.mov")},
      {MediaPaths::kRelPathToApplicationKey, QStringLiteral("./no/such/a.mov")},
      {MediaPaths::kRelPathToUserFolderKey, QStringLiteral("homeclips/a.mov")},
      {MediaPaths::kRelPathKey, QStringLiteral("legacy/a.mov")},
      {MediaPaths::kFullPathKey, absolute},
  };
  const auto without = [&](QStringList keys) {
    QVariantMap snapshot = all;
    for (const QString& key : keys) snapshot.remove(key);
    return snapshot;
  };
  struct Case {
    const char* name;
    QVariantMap snapshot;
    QString savePath;
    QString found;
  };
  const Case cases[] = {
      {"the project's neighbour beats a stale absolute path", all, project, nearProject},
      {"without a saved project the home folder is next", all, QString(), inHome},
      {"then the legacy path in the media folder", without({MediaPaths::kRelPathToUserFolderKey}),
       project + "x/y", inMedia},
      {"then the stored full path",
       without({MediaPaths::kRelPathToProjectKey, MediaPaths::kRelPathToUserFolderKey,
                MediaPaths::kRelPathKey}),
       project, absolute},
      {"nothing on disk keeps the stored full path",
       QVariantMap{{MediaPaths::kFullPathKey, QStringLiteral("/gone/a.mov")},
                   {MediaPaths::kRelPathToProjectKey, QStringLiteral("./gone.mov")}},
       project, QStringLiteral("/gone/a.mov")},
      {"no paths at all", QVariantMap{}, project, QString()},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MediaPaths::findMedia(c.snapshot, c.savePath), c.found) << c.name;
}

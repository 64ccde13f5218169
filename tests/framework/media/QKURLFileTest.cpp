// Web files: their extensions, the initialiser each file on disk takes, the
// local test, the restore of addresses and files, and thumbnail requests.
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKURLFile.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/media/MediaTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

QByteArray archiveBytes() {
  const QVariantMap main{{"WebResourceData", QByteArray("<p>saved</p>")},
                         {"WebResourceURL", "https://a.example/"},
                         {"WebResourceMIMEType", "text/html"}};
  return PropertyList::toXml(QVariantMap{{"WebMainResource", main}});
}

class QKURLFileTest : public MediaKindTest {};

}  // namespace

TEST_F(QKURLFileTest, WebFilesGoByTheExactExtension) {
  const struct {
    const char* path;
    bool web;
  } cases[] = {
      {"/a/b.webloc", true},  {"/a/b.url", true},  {"/a/b.webarchive", true},
      {"/a/b.html", true},    {"/a/b.SWF", true},  {"/a/b.swf", true},
      {"/a/b.HTML", false},   {"/a/b.Swf", false}, {"/a/b.htm", false},
      {"/a/b.WEBLOC", false}, {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(QKURLFile::isURLFile(c.path), c.web) << c.path;
}

TEST_F(QKURLFileTest, EachFileOnDiskTakesItsInitialiser) {
  const QString html = write("page.html", "<p>");
  const QString upperHtml = write("PAGE.HTML", "<p>");
  const struct {
    const char* name;
    QString path;
    bool valid;
    QString urlString;
    bool archive;
    int logLines;
  } cases[] = {
      {"a web archive", write("saved.webarchive", archiveBytes()), true, {}, true, 0},
      {"a damaged web archive", write("bad.webarchive", "not a list"), false, {}, false, 1},
      {"an archive without its main resource",
       write("empty.webarchive", PropertyList::toXml(QVariantMap{{"WebSubresources", 1}})),
       false,
       {},
       false,
       1},
      {"a webloc",
       write("site.webloc", PropertyList::toXml(QVariantMap{{"URL", "https://b.example/x"}})), true,
       "https://b.example/x", false, 0},
      {"a webloc without an address",
       write("none.webloc", PropertyList::toXml(QVariantMap{})),
       false,
       {},
       false,
       1},
      {"a webloc that is no list", write("junk.webloc", "\x01\x02"), false, {}, false, 1},
      {"an HTML file", html, true, QUrl::fromLocalFile(html).toString(), false, 0},
      {"an HTML file in capitals", upperHtml, true, QUrl::fromLocalFile(upperHtml).toString(),
       false, 0},
      {"a Flash file", write("movie.Swf", "FWS"), true,
       QUrl::fromLocalFile(dir_ + "/movie.Swf").toString(), false, 0},
      {"an Internet shortcut", write("link.url", "[InternetShortcut]"), false, {}, false, 0},
  };
  for (const auto& c : cases) {
    LogCapture log;
    auto file = QKURLFile::createWithFilePath(&compositor_, c.path);
    EXPECT_EQ(file->validFile(), c.valid) << c.name;
    EXPECT_EQ(file->urlString(), c.urlString) << c.name;
    EXPECT_EQ(file->webArchive().has_value(), c.archive) << c.name;
    EXPECT_EQ(file->fullPath(), c.path) << c.name;
    EXPECT_EQ(file->originalPath(), c.path) << c.name;
    EXPECT_EQ(file->fileType(), QFileInfo(c.path).suffix()) << c.name;
    EXPECT_EQ(file->qkFileType(), 4) << c.name;
    EXPECT_EQ(log.lines().size(), c.logLines) << c.name;
  }
  auto archive = QKURLFile::createWithFilePath(&compositor_, dir_ + "/saved.webarchive");
  EXPECT_EQ(archive->name(), "saved.webarchive");
  EXPECT_EQ(archive->webArchive()->mainResource().data, QByteArray("<p>saved</p>"));
}

TEST_F(QKURLFileTest, LocalFilesAreArchivesAndAddressesWithoutAWebScheme) {
  const struct {
    const char* urlString;
    bool local;
  } cases[] = {
      {"", false},
      {"http://a.example/", false},
      {"https://a.example/", false},
      {"rtsp://a.example/stream", false},
      {"file:///tmp/page.html", true},
      {"a.example/page", true},
  };
  for (const auto& c : cases) {
    auto file = QKURLFile::createWithURLString(&compositor_, c.urlString);
    EXPECT_EQ(file->isLocalFile(), c.local) << c.urlString;
  }
  auto archive = QKURLFile::createWithWebArchiveData(&compositor_, archiveBytes(), "saved");
  archive->setUrlString("https://a.example/");
  EXPECT_TRUE(archive->isLocalFile()) << "an archive is local whatever its address";
}

TEST_F(QKURLFileTest, AnAddressIsNamedAfterItsLastComponentAndTakesTheDefaults) {
  UserDefaults::standard().setValue("urlHorResDefault", 1920);
  auto file = QKURLFile::createWithURLString(&compositor_, "https://a.example/shows/tonight/");
  EXPECT_EQ(file->name(), "tonight");
  EXPECT_TRUE(file->validFile());
  EXPECT_EQ(file->movieProps(),
            (QVariantMap{{"useCustomResForURL", 1}, {"urlHorRes", 1920}, {"urlVertRes", 480}}));
  const QVariantMap snapshot = file->createSnapshot();
  EXPECT_EQ(snapshot.value("urlString"), QVariant("https://a.example/shows/tonight/"));
  EXPECT_FALSE(snapshot.contains("fullPath"));
  EXPECT_EQ(snapshot.value("movieProps").toMap(), file->movieProps());
}

TEST_F(QKURLFileTest, AnAddressSnapshotLoadsWithoutPaths) {
  const struct {
    const char* name;
    QVariantMap snapshot;
    bool valid;
    QVariantMap props;
  } cases[] = {
      {"an address",
       {{"urlString", "https://a.example/"}, {"movieProps", QVariantMap{{"urlHorRes", 800}}}},
       true,
       {{"useCustomResForURL", 1}, {"urlHorRes", 800}, {"urlVertRes", 480}}},
      {"a mistyped size keeps its default",
       {{"urlString", "https://a.example/"}, {"movieProps", QVariantMap{{"urlHorRes", "wide"}}}},
       true,
       {{"useCustomResForURL", 1}, {"urlHorRes", 640}, {"urlVertRes", 480}}},
      {"no address",
       {{"name", "x"}},
       false,
       {{"useCustomResForURL", 1}, {"urlHorRes", 640}, {"urlVertRes", 480}}},
      {"an address that is no string",
       {{"urlString", 5}},
       false,
       {{"useCustomResForURL", 1}, {"urlHorRes", 640}, {"urlVertRes", 480}}},
  };
  for (const auto& c : cases) {
    NotificationCounter missing(MediaNotifications::kMissingFile);
    auto file = QKURLFile::createWithCompositor(&compositor_);
    EXPECT_EQ(file->loadFromSnapshot(c.snapshot, &compositor_), c.valid) << c.name;
    EXPECT_EQ(file->validFile(), c.valid) << c.name;
    EXPECT_TRUE(file->fullPath().isEmpty()) << c.name;
    EXPECT_EQ(file->movieProps(), c.props) << c.name;
    EXPECT_EQ(missing.count(), c.valid ? 0 : 1) << c.name;
  }
}

TEST_F(QKURLFileTest, AMovedProjectsHtmlFileIsFoundAndItsAddressRebuilt) {
  for (const QString& name : {QStringLiteral("page.html"), QStringLiteral("PAGE.HTML")}) {
    SCOPED_TRACE(name.toStdString());
    const QString before = TestEnvironment::makeTempDir(QStringLiteral("before"));
    writeFile(before + "/media/" + name, "<p>");
    compositor_.savePath = before + "/show.zaph";
    const QVariantMap snapshot =
        QKURLFile::createWithFilePath(&compositor_, before + "/media/" + name)->createSnapshot();

    const QString after = TestEnvironment::makeTempDir(QStringLiteral("after"));
    ASSERT_TRUE(QDir().rmdir(after));
    ASSERT_TRUE(QDir().rename(before, after));
    compositor_.savePath = after + "/show.zaph";
    auto restored = QKURLFile::createWithCompositor(&compositor_);
    EXPECT_TRUE(restored->loadFromSnapshot(snapshot, &compositor_));
    EXPECT_EQ(restored->fullPath(), after + "/media/" + name);
    EXPECT_EQ(restored->urlString(), QUrl::fromLocalFile(after + "/media/" + name).toString());
  }
}

TEST_F(QKURLFileTest, ArchivesAndWeblocsAreReadAgainAtLoad) {
  const QString archive = write("saved.webarchive", archiveBytes());
  const QString webloc =
      write("site.webloc", PropertyList::toXml(QVariantMap{{"URL", "https://b.example/"}}));
  const QString badArchive = write("bad.webarchive", "no");
  const struct {
    const char* name;
    QString path;
    bool valid;
    bool archive;
    QString urlString;
  } cases[] = {
      {"an archive", archive, true, true, {}},
      {"a damaged archive", badArchive, false, false, {}},
      {"a missing archive", dir_ + "/gone.webarchive", false, false, {}},
      {"a webloc", webloc, true, false, "https://b.example/"},
      {"a missing webloc", dir_ + "/gone.webloc", false, false, {}},
  };
  for (const auto& c : cases) {
    auto file = QKURLFile::createWithCompositor(&compositor_);
    EXPECT_EQ(file->loadFromSnapshot({{"fullPath", c.path}, {"urlString", "https://stale/"}},
                                     &compositor_),
              c.valid)
        << c.name;
    EXPECT_EQ(file->webArchive().has_value(), c.archive) << c.name;
    EXPECT_EQ(file->urlString(), c.urlString) << c.name;
    EXPECT_EQ(file->fullPath(), c.path) << c.name;
  }
}

TEST_F(QKURLFileTest, ReloadingThumbnailsAsksOnlyForFilesWithoutAPoster) {
  FakeFileLoader loader;
  compositor_.loader = &loader;
  auto bare = QKURLFile::createWithURLString(&compositor_, "https://a.example/");
  auto withPoster = QKURLFile::createWithURLString(&compositor_, "https://b.example/");
  withPoster->setPosterImage(QImage(8, 6, QImage::Format_ARGB32));
  NotificationCenter::defaultCenter().post(QKURLFile::kReloadThumbnailsNotification);
  ASSERT_EQ(loader.requested.size(), 1u);
  EXPECT_EQ(loader.requested.front(), bare);

  loader.requested.clear();
  bare.reset();
  NotificationCenter::defaultCenter().post(QKURLFile::kReloadThumbnailsNotification);
  EXPECT_TRUE(loader.requested.empty()) << "a freed file stops observing";
  compositor_.loader = nullptr;
}

// Finding files by name: folded names, the locate database checked against
// the disk, the bounded walk, its limits and its stop.
#include "platform/foundation/MainThread.h"
#include "platform/system/FileSearch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class FileSearchTest : public testing::Test {
 protected:
  QString root() const { return dir_.path(); }
  QString make(const QString& relative) {
    const QString path = root() + u'/' + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    return path;
  }
  FileSearch::Options walkOnly() const {
    FileSearch::Options options;
    options.roots = {root()};
    options.databaseProgram = QStringLiteral("-");
    return options;
  }
  QStringList relativeHits(const FileSearch::Answer& answer) const {
    QStringList paths;
    for (const FileSearch::Hit& hit : answer.hits) paths << QDir(root()).relativeFilePath(hit.path);
    return paths;
  }
  // A stand-in for plocate: records its arguments and answers the lines of
  // a list, NUL-separated.
  QString fakeDatabase(const QByteArray& lines) {
    QFile list(root() + QStringLiteral("/.db/list"));
    QDir().mkpath(root() + QStringLiteral("/.db"));
    EXPECT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(lines);
    list.close();
    const QString program = root() + QStringLiteral("/.db/locate");
    QFile script(program);
    EXPECT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1/.db/args'\n"
                                "tr '\\n' '\\000' < '%1/.db/list'\n")
                     .arg(root())
                     .toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return program;
  }
  QStringList databaseArguments() const {
    QFile args(root() + QStringLiteral("/.db/args"));
    if (!args.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(args.readAll()).split(u'\n', Qt::SkipEmptyParts);
  }

  QTemporaryDir dir_;
};

TEST_F(FileSearchTest, WalkMatchesFoldedNamesExactlyAndSkipsHiddenAndDeep) {
  make(QStringLiteral("clips/clip.mov"));
  make(QStringLiteral("a/Café.mov"));
  make(QStringLiteral("b/CAFE.MOV"));
  make(QStringLiteral("a*b.mov"));
  make(QStringLiteral("axb.mov"));
  make(QStringLiteral("clips/clip.mov.bak"));
  make(QStringLiteral(".hidden/secret.mov"));
  make(QStringLiteral("c/.secret2.mov"));
  QString deep = QStringLiteral("d");
  for (int i = 0; i < 17; ++i) deep += QStringLiteral("/d");
  make(deep + QStringLiteral("/deep.mov"));
  make(QStringLiteral("d/d/shallow.mov"));

  const struct {
    const char* name;
    QStringList expected;
  } cases[] = {
      {"Clip.MOV", {QStringLiteral("clips/clip.mov")}},
      {"Cafe.mov", {QStringLiteral("a/Café.mov"), QStringLiteral("b/CAFE.MOV")}},
      {"café.MOV", {QStringLiteral("a/Café.mov"), QStringLiteral("b/CAFE.MOV")}},
      {"a*b.mov", {QStringLiteral("a*b.mov")}},
      {"a?b.mov", {}},
      {"secret.mov", {}},
      {".secret2.mov", {}},
      {"deep.mov", {}},
      {"shallow.mov", {QStringLiteral("d/d/shallow.mov")}},
      {"clip", {}},
  };
  FileSearch search(walkOnly());
  for (const auto& c : cases) {
    const FileSearch::Answer answer = search.searchNow(QString::fromUtf8(c.name));
    EXPECT_EQ(relativeHits(answer), c.expected) << c.name;
    EXPECT_FALSE(answer.incomplete) << c.name;
  }
  EXPECT_EQ(search.walkCount(), 1) << "one walk serves every search";
}

TEST_F(FileSearchTest, HitsCarryDatesAndPassTheAcceptTest) {
  const QString kept = make(QStringLiteral("x/song.mov"));
  make(QStringLiteral("y/song.mov"));
  FileSearch search(walkOnly());
  const FileSearch::Answer answer = search.searchNow(
      QStringLiteral("song.mov"), [](const QString& path) { return !path.contains(u"/y/"); });
  ASSERT_EQ(answer.hits.size(), 1);
  EXPECT_EQ(answer.hits[0].path, kept);
  EXPECT_EQ(answer.hits[0].modified, QFileInfo(kept).lastModified());
}

TEST_F(FileSearchTest, LinksAreFollowedOnceAndLoopsEnd) {
  make(QStringLiteral("real/clip.mov"));
  ASSERT_EQ(::symlink(qPrintable(root()), qPrintable(root() + QStringLiteral("/real/up"))), 0);
  ASSERT_EQ(::symlink(qPrintable(root() + QStringLiteral("/real")),
                      qPrintable(root() + QStringLiteral("/again"))),
            0);
  FileSearch search(walkOnly());
  const FileSearch::Answer answer = search.searchNow(QStringLiteral("clip.mov"));
  EXPECT_EQ(answer.hits.size(), 1) << "the folder reached twice is read once";
  EXPECT_FALSE(answer.incomplete);
}

TEST_F(FileSearchTest, DatabaseAnswersAreCheckedAgainstTheDisk) {
  const QString real = make(QStringLiteral("moved/Clip.mov"));
  make(QStringLiteral(".cache/clip.mov"));
  make(QStringLiteral("folder.mov/keep"));
  QByteArray lines;
  lines += root().toUtf8() + "/gone/clip.mov\n";     // stale
  lines += root().toUtf8() + "/.cache/clip.mov\n";   // hidden folder
  lines += root().toUtf8() + "/folder.mov\n";        // not a regular file
  lines += "relative/clip.mov\n";                    // not absolute
  lines += root().toUtf8() + "/bad\xff/clip.mov\n";  // not UTF-8
  lines += real.toUtf8() + "\n";
  FileSearch::Options options = walkOnly();
  options.databaseProgram = fakeDatabase(lines);
  FileSearch search(options);
  const FileSearch::Answer answer = search.searchNow(QStringLiteral("clip.mov"));
  ASSERT_EQ(answer.hits.size(), 1);
  EXPECT_EQ(answer.hits[0].path, real);
  EXPECT_EQ(search.walkCount(), 0) << "the database answered";

  search.searchNow(QStringLiteral("a*[b].mov"));
  const QStringList args = databaseArguments();
  ASSERT_GE(args.size(), 2);
  EXPECT_EQ(args.mid(args.size() - 2),
            QStringList({QStringLiteral("--"), QStringLiteral("a\\*\\[b\\].mov")}));
  EXPECT_TRUE(args.contains(QStringLiteral("-i")));
  EXPECT_TRUE(args.contains(QStringLiteral("-0")));
}

TEST_F(FileSearchTest, StaleDatabaseFallsBackToTheWalk) {
  const QString moved = make(QStringLiteral("today/clip.mov"));
  FileSearch::Options options = walkOnly();
  options.databaseProgram = fakeDatabase(root().toUtf8() + "/yesterday/clip.mov\n");
  FileSearch search(options);
  const FileSearch::Answer answer = search.searchNow(QStringLiteral("clip.mov"));
  ASSERT_EQ(answer.hits.size(), 1);
  EXPECT_EQ(answer.hits[0].path, moved);
  EXPECT_EQ(search.walkCount(), 1);
}

TEST_F(FileSearchTest, MissingDatabaseProgramWalks) {
  const QString clip = make(QStringLiteral("clip.mov"));
  FileSearch::Options options = walkOnly();
  options.databaseProgram = root() + QStringLiteral("/no-such-locate");
  FileSearch search(options);
  const FileSearch::Answer answer = search.searchNow(QStringLiteral("clip.mov"));
  ASSERT_EQ(answer.hits.size(), 1);
  EXPECT_EQ(answer.hits[0].path, clip);
}

TEST_F(FileSearchTest, EntryLimitMakesTheSearchIncomplete) {
  for (int folder = 0; folder < 50; ++folder)
    for (int file = 0; file < 100; ++file)
      make(QStringLiteral("f%1/file%2.mov").arg(folder).arg(file));
  make(QStringLiteral("f0/target.mov"));
  FileSearch::Options options = walkOnly();
  options.maxEntries = 1000;
  FileSearch search(options);
  const FileSearch::Answer answer = search.searchNow(QStringLiteral("target.mov"));
  EXPECT_TRUE(answer.incomplete);
  EXPECT_LE(answer.hits.size(), 1);
  EXPECT_TRUE(search.searchNow(QStringLiteral("file1.mov")).incomplete)
      << "later searches of the flow share the cut walk";
  EXPECT_EQ(search.walkCount(), 1);
}

TEST_F(FileSearchTest, StopEndsTheWalkAtTheNextEntry) {
  for (int file = 0; file < 500; ++file) make(QStringLiteral("many/file%1.mov").arg(file));
  FileSearch search(walkOnly());
  search.setEntryObserver([&search](qint64 entries) {
    if (entries == 100) search.stop();
  });
  const FileSearch::Answer answer = search.searchNow(QStringLiteral("file499.mov"));
  EXPECT_TRUE(answer.hits.isEmpty());
  EXPECT_LE(search.entriesReadAfterStop(), 1);
}

TEST_F(FileSearchTest, AnswersReachTheMainThreadUnlessStopped) {
  const QString clip = make(QStringLiteral("clip.mov"));
  FileSearch search(walkOnly());
  std::optional<FileSearch::Answer> received;
  bool onMain = false;
  search.search(QStringLiteral("clip.mov"), {}, [&](const FileSearch::Answer& answer) {
    onMain = MainThread::isMainThread();
    received = answer;
  });
  ASSERT_TRUE(MainThread::processUntil([&] { return received.has_value(); }, 10.0));
  EXPECT_TRUE(onMain);
  ASSERT_EQ(received->hits.size(), 1);
  EXPECT_EQ(received->hits[0].path, clip);

  bool late = false;
  search.search(QStringLiteral("clip.mov"), {}, [&](const FileSearch::Answer&) { late = true; });
  search.stop();
  MainThread::processUntil([&] { return !search.isSearching(); }, 10.0);
  MainThread::processUntil([] { return false; }, 0.2);
  EXPECT_FALSE(late) << "a stopped search's answer is dropped";
}

}  // namespace
